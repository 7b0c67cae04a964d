// Playing the organ from a MIDI keyboard: real ports on a private JACK
// server, the input queue and its worker, the event processor, the output
// engine, and the rank messages seen on FluidSynth and on an external port.

#include "FakeMidiSystem.h"
#include "Gate.h"
#include "RecordingQueue.h"
#include "JackServer.h"
#include "engine/OutputEngine.h"
#include "midi_in/MidiInput.h"
#include "organ/Console.h"
#include "platform/RecordingUserMessages.h"

#include <fluidsynth.h>
#include <gtest/gtest.h>
#include <rtmidi/RtMidi.h>

#include <chrono>
#include <mutex>
#include <thread>

using namespace corvinta;
using namespace std::chrono_literals;

namespace {

// Everything the ranks sent, safe to read while the worker writes.
struct Heard final : IRankSendObserver {
    std::mutex mutex;
    std::vector<std::pair<int, uint32_t>> sent;
    void RankSent(int rank, int, uint32_t m) override
    {
        std::lock_guard lock(mutex);
        sent.emplace_back(rank, m);
    }
    bool WaitFor(int rank, uint32_t message, std::chrono::milliseconds limit = 5s)
    {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < until) {
            {
                std::lock_guard lock(mutex);
                for (auto& [r, m] : sent)
                    if (r == rank && m == message)
                        return true;
            }
            std::this_thread::sleep_for(2ms);
        }
        return false;
    }
};

int IndexOf(const std::vector<std::string>& names, const std::string& part)
{
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i].find(part) != std::string::npos)
            return static_cast<int>(i);
    return -1;
}

TEST(MidiInputEndToEnd, AKeyboardDrawsAStopAndPlaysANote)
{
    test::JackServer jack;
    if (!jack.Ready())
        GTEST_SKIP() << test::JackServer::SkipReason();
    RtMidiOut keyboard(RtMidi::UNIX_JACK, "Keyboard");
    keyboard.openVirtualPort("keys out");
    RtMidiIn module(RtMidi::UNIX_JACK, "Module");
    module.openVirtualPort("module in");

    std::unique_ptr<IMidiSystem> midi = OpenMidiSystem("jack");
    const int keyboardId = IndexOf(midi->InputNames(), "keys out");
    const int moduleId = IndexOf(midi->OutputNames(), "module in");
    ASSERT_GE(keyboardId, 0);
    ASSERT_GE(moduleId, 0);

    RecordingUserMessages messages;
    CConsole console(messages);
    ConsoleBuildSteps steps;
    steps.readConfiguration = [&](CConsole& c) {
        c.Settings().soundFonts = {{"/usr/share/sounds/sf2/TimGM6mb.sf2", 25}};
        c.RankSettings()[2].deviceId = static_cast<uint16_t>(moduleId); // the Tuba on an external module
        c.RankSettings()[2].channel = 4;
    };
    console.Build(steps);
    MidiInput input(console, *midi);
    input.Enumerate();
    console.inputDevicesInUse = {static_cast<uint16_t>(keyboardId)};
    console.RebuildRouting();
    ASSERT_TRUE(input.StartWorker());

    Heard heard;
    OutputEngine engine(console, EngineParts{.midi = midi.get(), .synth = {"none"}, .observer = &heard});
    console.SetOutput(&engine);
    console.SetInputControl(&input);
    ASSERT_TRUE(engine.StartWorker());
    input.OpenAll();
    EXPECT_EQ(input.OpenDeviceCount(), 1);
    EXPECT_TRUE(messages.Shown().empty());

    // Sent before input is enabled: kept, and played once it is.
    auto send = [&](std::vector<unsigned char> bytes) { keyboard.sendMessage(&bytes); };
    send({0xBF, 81, 7});   // draw the Solo 8' Tibia (FluidSynth)
    send({0xBF, 81, 5});   // and the Solo 8' Tuba (the module)
    send({0xF8});          // clock: never reaches the queue
    send({0x90, 60, 100}); // play middle C on the Solo
    std::this_thread::sleep_for(100ms);
    {
        std::lock_guard lock(heard.mutex);
        EXPECT_TRUE(std::none_of(heard.sent.begin(), heard.sent.end(),
                                 [](auto& s) { return (StatusOf(s.second) & 0xF0) == 0x90; }));
    }
    input.SetInputEnabled(true);

    EXPECT_TRUE(heard.WaitFor(6, ShortMessage(0x96, 60, 127)));
    EXPECT_TRUE(heard.WaitFor(2, ShortMessage(0x94, 60, 127)));
    EXPECT_GT(fluid_synth_get_active_voice_count(engine.Synth()->Synth()), 0);

    std::vector<unsigned char> got;
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (std::chrono::steady_clock::now() < until) {
        module.getMessage(&got);
        if (got == std::vector<unsigned char>{0x94, 60, 127})
            break;
        std::this_thread::sleep_for(2ms);
    }
    EXPECT_EQ(got, (std::vector<unsigned char>{0x94, 60, 127}));

    send({0x80, 60, 0});
    EXPECT_TRUE(heard.WaitFor(6, ShortMessage(0x96, 60, 0)));
    input.CloseAll();
    input.StopWorker();
    EXPECT_TRUE(engine.StopWorker(300, 10));
}

TEST(MidiInput, NoDevicesIsSaidOnceAndPromisesScreenPlayOnlyWhereThereIsAScreen)
{
    const struct {
        MidiInput::ScreenPlay screen;
        const char* text;
    } cases[] = {
        {MidiInput::ScreenPlay::Offered,
         "There are no MIDI input devices in the system.\nYou can play the Corvinta with your mouse or computer keyboard."},
        {MidiInput::ScreenPlay::NotOffered, "There are no MIDI input devices in the system.\nConnect a MIDI keyboard "
                                            "(corvinta --list-midi lists what the organ sees) and start it again."},
    };
    for (const auto& c : cases) {
        RecordingUserMessages messages;
        CConsole console(messages);
        console.Build();
        NoMidiSystem none;
        MidiInput input(console, none);
        input.Enumerate(c.screen);
        input.OpenAll();
        const auto shown = messages.Shown();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, c.text);
        EXPECT_EQ(shown[0].caption, "MIDI input devices initialization");
        EXPECT_EQ(input.OpenDeviceCount(), 0);
    }
}

TEST(MidiInput, ADeviceThatWillNotOpenIsReportedTwice)
{
    RecordingUserMessages messages;
    CConsole console(messages);
    console.Build();
    struct NoOpen final : IMidiSystem {
        std::vector<std::string> names{"Pedalboard"};
        std::string ApiName() const override { return "fake"; }
        const std::vector<std::string>& OutputNames() const override { return none; }
        const std::vector<std::string>& InputNames() const override { return names; }
        std::unique_ptr<IMidiOutputPort> OpenOutput(unsigned, std::string&) override { return nullptr; }
        std::unique_ptr<IMidiInputPort> OpenInput(unsigned, MidiInputCallback, void*, std::string& e) override
        {
            e = "The device is in use";
            return nullptr;
        }
        std::vector<std::string> none;
    } midi;
    MidiInput input(console, midi);
    input.Enumerate();
    console.inputDevicesInUse = {0};
    input.OpenAll();
    const auto shown = messages.Shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, "Pedalboard: The device is in use");
    EXPECT_EQ(shown[0].caption, "Corvinta MIDI In Initialization");
    EXPECT_EQ(shown[1].caption, "Can't Open MIDI In Device");
    EXPECT_EQ(input.OpenDeviceCount(), 0);
}

} // namespace

// The organ sees this many input devices, by name only.
struct NamedInputs final : IMidiSystem {
    explicit NamedInputs(int count)
    {
        for (int i = 0; i < count; ++i)
            names.push_back("Keyboard " + std::to_string(i));
    }
    std::string ApiName() const override { return "fake"; }
    const std::vector<std::string>& OutputNames() const override { return none; }
    const std::vector<std::string>& InputNames() const override { return names; }
    std::unique_ptr<IMidiOutputPort> OpenOutput(unsigned, std::string&) override { return nullptr; }
    std::unique_ptr<IMidiInputPort> OpenInput(unsigned, MidiInputCallback, void*, std::string&) override { return nullptr; }
    std::vector<std::string> names, none;
};

// A key release that finds the input ring full still reaches the console,
// after everything that was queued before it, from whichever source holds
// the key: the file player, or any device present, however many there are.
TEST(MidiInput, AReleaseRefusedByAFullRingStillReleasesTheKey)
{
    const auto solo = static_cast<uint32_t>(kDivisions[0].defaultInputChannel);
    const struct {
        const char* from;
        uint32_t source;
        bool device;
    } sources[] = {{"the file player", InternalSource(solo), false},
                   {"the first device", 0, true},
                   {"the 40th device", 39, true}};
    for (const auto& from : sources) {
        SCOPED_TRACE(from.from);
        RecordingUserMessages messages;
        CConsole console(messages);
        console.Build();
        test::RecordingQueue output;
        console.SetOutput(&output);
        NamedInputs devices(40);
        MidiInput input(console, devices);
        input.Enumerate();
        console.inputDevicesInUse = {0, 39};
        console.RebuildRouting();
        ASSERT_TRUE(input.StartWorker());
        const uint32_t channel = from.device ? static_cast<uint32_t>(console.Settings().divisions[0].channel) : solo;
        const uint32_t source = from.source;
        auto note = [&](uint32_t status, uint32_t key, uint32_t velocity) {
            return (status | channel) | key << 8 | velocity << 16;
        };

        // Input is still disabled: the ring fills.
        ASSERT_TRUE(input.Push(note(0x90, 60, 100), source));
        for (int i = 1; i < 256; ++i)
            ASSERT_TRUE(input.Push(note(0xA0, 60, 10), source));
        EXPECT_TRUE(input.Push(note(0x90, 60, 0), source)) << "a release is kept";
        EXPECT_FALSE(input.Push(note(0x90, 62, 100), source)) << "a press is dropped";
        input.SetInputEnabled(true);

        std::vector<OutputRequest> keys;
        for (int wait = 0; wait < 500 && (keys.empty() || keys.back().c != 0); ++wait) {
            std::this_thread::sleep_for(10ms);
            for (const OutputRequest& r : output.Take())
                if (r.type == RequestType::KeyNote)
                    keys.push_back(r);
        }
        ASSERT_EQ(keys.size(), 2u);
        EXPECT_EQ(keys[0].b, 60);
        EXPECT_GT(keys[0].c, 0);
        EXPECT_EQ(keys[1], (OutputRequest{RequestType::KeyNote, 0, 60, 0}));
        input.StopWorker();
    }
}

// Live input that finds the ring full is dropped, counted, and told once.
TEST(MidiInput, DroppedInputIsCountedAndReportedOnce)
{
    RecordingUserMessages messages;
    CConsole console(messages);
    console.Build();
    NamedInputs devices(1);
    MidiInput input(console, devices);
    EXPECT_EQ(input.TakeDropReport(), "") << "nothing dropped yet";
    for (int i = 0; i < 300; ++i) // input disabled: nothing is taken
        input.Push(ShortMessage(0xB0, 7, static_cast<uint8_t>(i % 128)), 0);
    EXPECT_EQ(input.DroppedEvents(), 44u);
    EXPECT_EQ(input.TakeDropReport(), "MIDI input came faster than the organ could take it: 44 events were dropped.\n"
                                      "A key or control may not have reached the organ.");
    input.Push(ShortMessage(0xB0, 7, 1), 0);
    EXPECT_EQ(input.DroppedEvents(), 45u);
    EXPECT_EQ(input.TakeDropReport(), "") << "once";
}

// Keys the console sends on, each held at a gate so the input ring can be
// left part-full behind the worker.
struct GatedKeys final : IOutputQueue {
    test::Gate gate;
    std::mutex mutex;
    std::vector<OutputRequest> keys;
    void Push(RequestType type, int32_t a, int32_t b, uint8_t c) override
    {
        if (type != RequestType::KeyNote)
            return;
        gate.Pass();
        std::lock_guard lock(mutex);
        keys.push_back({type, a, b, c});
    }
    void AllNotesOff() override {}
    void SetHold(bool) override {}
};

// A key played again while its kept release still waits must not overtake
// it: two presses would meet one release and the key would stay down.
TEST(MidiInput, AKeyPressedWhileItsReleaseWaitsForRoomIsRefused)
{
    RecordingUserMessages messages;
    CConsole console(messages);
    console.Build();
    GatedKeys output;
    console.SetOutput(&output);
    NoMidiSystem none;
    MidiInput input(console, none);
    console.RebuildRouting();
    ASSERT_TRUE(input.StartWorker());
    input.SetInputEnabled(true);
    const auto solo = static_cast<uint32_t>(kDivisions[0].defaultInputChannel);
    const uint32_t source = InternalSource(solo);
    auto note = [&](uint32_t key, uint32_t velocity) { return (0x90 | solo) | key << 8 | velocity << 16; };
    auto fillRing = [&] {
        while (input.Push(note(72, 100), source)) {
        }
    };

    ASSERT_TRUE(input.Push(note(60, 100), source));
    ASSERT_TRUE(output.gate.WaitHeld()); // the worker waits in the key's press
    fillRing();
    EXPECT_TRUE(input.Push(note(60, 0), source)) << "the release is kept";
    output.gate.Allow(6);
    ASSERT_TRUE(output.gate.WaitHeld()); // room for five, the release still kept
    const uint64_t dropped = input.DroppedEvents();
    EXPECT_FALSE(input.Push(note(60, 100), source)) << "the same key again";
    EXPECT_EQ(input.DroppedEvents(), dropped + 1);
    fillRing();
    EXPECT_TRUE(input.Push(note(60, 0), source)) << "its second release is kept too";
    output.gate.Open();

    std::vector<uint8_t> key60;
    for (int wait = 0; wait < 500 && key60.size() < 3; ++wait) {
        std::this_thread::sleep_for(10ms);
        key60.clear();
        std::lock_guard lock(output.mutex);
        for (const OutputRequest& r : output.keys)
            if (r.b == 60)
                key60.push_back(r.c);
    }
    input.StopWorker();
    // Each kept release arrives (the second finds the key up and counts
    // nothing down); the refused press never does.
    EXPECT_EQ(key60, (std::vector<uint8_t>{100, 0, 0}));
}
