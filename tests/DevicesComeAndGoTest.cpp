// MIDI devices unplugged and plugged back while the organ plays: real ports
// on a JACK server (dummy back end) for inputs and outputs, and a soak of
// fifty comings and goings on devices of the test's own, which also runs
// under ThreadSanitizer (where JACK is not started).

#include "JackServer.h"
#include "PluggableMidi.h"
#include "RankLog.h"
#include "app/DeviceWatcher.h"
#include "engine/OutputEngine.h"
#include "midi_in/MidiInput.h"
#include "organ/Console.h"
#include "platform/RecordingUserMessages.h"

#include <fluidsynth.h>
#include <gtest/gtest.h>
#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>

using namespace corvinta;
using namespace std::chrono_literals;

namespace {

constexpr int kTibia = 6;
constexpr int kTuba = 2;
constexpr const char* kSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

TEST(DeviceList, KeepsEveryIdAndTellsWhatCameAndWent)
{
    DeviceList list({"Keys", "Pedals"});
    const struct {
        std::vector<std::string> now;
        std::vector<unsigned> gone, back, added;
        std::vector<std::string> names;
    } steps[] = {
        {{"Keys", "Pedals"}, {}, {}, {}, {"Keys", "Pedals"}},
        {{"Pedals"}, {0}, {}, {}, {"Keys", "Pedals"}},                          // unplugged: its id stays
        {{"Module", "Pedals"}, {}, {}, {2}, {"Keys", "Pedals", "Module"}},        // a new one goes last
        {{"Keys", "Pedals", "Module"}, {}, {0}, {}, {"Keys", "Pedals", "Module"}}, // back under its old id
        {{"Keys", "Keys", "Pedals", "Module"}, {}, {}, {3}, {"Keys", "Pedals", "Module", "Keys"}}, // a twin
        {{"Keys", "Module"}, {1, 3}, {}, {}, {"Keys", "Pedals", "Module", "Keys"}},
        {{}, {0, 2}, {}, {}, {"Keys", "Pedals", "Module", "Keys"}},
    };
    for (const auto& step : steps) {
        const DeviceChanges changes = list.Update(step.now);
        EXPECT_EQ(changes.gone, step.gone);
        EXPECT_EQ(changes.back, step.back);
        EXPECT_EQ(changes.added, step.added);
        EXPECT_EQ(list.Names(), step.names);
        for (unsigned id = 0; id < list.Names().size(); ++id)
            EXPECT_EQ(list.Connected(id), std::count(step.now.begin(), step.now.end(), list.Names()[id]) >
                                              std::count(list.Names().begin(), list.Names().begin() + id,
                                                         list.Names()[id]))
                << list.Names()[id] << " " << id;
    }
}

// Everything the ranks sent, and a wait on it.
struct Heard final : IRankSendObserver {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<int, uint32_t>> sent;

    void RankSent(int rank, int, uint32_t m) override
    {
        {
            std::lock_guard lock(mutex);
            sent.emplace_back(rank, m);
        }
        changed.notify_all();
    }
    bool Has(int rank, uint32_t message, size_t since = 0)
    {
        return std::find(sent.begin() + static_cast<std::ptrdiff_t>(since), sent.end(), std::make_pair(rank, message)) !=
               sent.end();
    }
    size_t Count()
    {
        std::lock_guard lock(mutex);
        return sent.size();
    }
    template <class Pred>
    bool WaitFor(Pred pred, std::chrono::milliseconds limit = 10s)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, pred);
    }
    // By the log, whether a rank's note sounds.
    bool Sounding(int rank, int note)
    {
        for (auto m = sent.rbegin(); m != sent.rend(); ++m)
            if (m->first == rank && Data1Of(m->second) == note &&
                ((StatusOf(m->second) & 0xF0) == 0x90 || (StatusOf(m->second) & 0xF0) == 0x80))
                return (StatusOf(m->second) & 0xF0) == 0x90 && Data2Of(m->second) > 0;
        return false;
    }
    // By the log, no rank note is left sounding (but on a rank whose module
    // went away with notes sounding: the log shows only what went out).
    bool NothingSounds(int besides = -1)
    {
        std::map<std::pair<int, int>, bool> on;
        for (const auto& [rank, m] : sent)
            if (rank != besides && ((StatusOf(m) & 0xF0) == 0x90 || (StatusOf(m) & 0xF0) == 0x80))
                on[{rank, Data1Of(m)}] = (StatusOf(m) & 0xF0) == 0x90 && Data2Of(m) > 0;
        return std::none_of(on.begin(), on.end(), [](const auto& n) { return n.second; });
    }
};

// The watcher's notices as they come.
struct Notices {
    explicit Notices(DeviceWatcher& w) : watcher(w)
    {
        watcher.SetNoticeListener([this] {
            { std::lock_guard lock(mutex); }
            changed.notify_all();
        });
    }
    // Waits for the next notice that contains text; true when it came.
    bool WaitFor(const std::string& text, std::chrono::milliseconds limit = 10s)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, [&] {
            for (std::string& n : watcher.TakeNotices())
                seen.push_back(std::move(n));
            for (size_t i = read; i < seen.size(); ++i)
                if (seen[i].find(text) != std::string::npos) {
                    read = i + 1;
                    return true;
                }
            return false;
        });
    }
    DeviceWatcher& watcher;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> seen;
    size_t read = 0;
};

// The organ's core with its device watcher, on whatever MIDI system it is given.
struct LiveOrgan {
    explicit LiveOrgan(IMidiSystem& m, std::function<void(CConsole&)> configure = {}) : midi(m)
    {
        ConsoleBuildSteps steps;
        steps.readConfiguration = [&](CConsole& c) {
            c.Settings().soundFonts = {{kSoundFont, 25}};
            if (configure)
                configure(c);
        };
        console.inputDevicesPresent = midi.InputNames();
        console.outputDevicesPresent = midi.OutputNames();
        console.Build(steps);
        input = std::make_unique<MidiInput>(console, midi);
        engine = std::make_unique<OutputEngine>(console, EngineParts{.midi = &midi, .synth = {"none"}, .observer = &heard});
        console.SetOutput(engine.get());
        console.SetInputControl(input.get());
        console.inputDevicesInUse.clear();
        for (unsigned id = 0; id < midi.InputNames().size(); ++id)
            console.inputDevicesInUse.push_back(static_cast<uint16_t>(id));
        console.RebuildRouting();
        EXPECT_TRUE(engine->StartWorker());
        EXPECT_TRUE(input->StartWorker());
        input->OpenAll();
        input->SetInputEnabled(true);
        watcher = std::make_unique<DeviceWatcher>(console, midi, *input, *engine);
        notices = std::make_unique<Notices>(*watcher);
    }
    ~LiveOrgan()
    {
        watcher->Stop();
        input->SetInputEnabled(false);
        input->StopWorker(300, 10);
        engine->StopWorker(300, 10);
        input->CloseAll();
        engine->CloseOutputs();
    }
    int Voices() { return fluid_synth_get_active_voice_count(engine->Synth()->Synth()); }

    IMidiSystem& midi;
    RecordingUserMessages messages;
    CConsole console{messages};
    Heard heard;
    std::unique_ptr<MidiInput> input;
    std::unique_ptr<OutputEngine> engine;
    std::unique_ptr<DeviceWatcher> watcher;
    std::unique_ptr<Notices> notices;
};

int IndexOf(const std::vector<std::string>& names, const std::string& part)
{
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i].find(part) != std::string::npos)
            return static_cast<int>(i);
    return -1;
}

uint32_t RankNote(int channel, int note, int velocity)
{
    return ShortMessage(static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(note), static_cast<uint8_t>(velocity));
}

// A MIDI keyboard on JACK that can be unplugged and plugged back.
struct JackKeyboard {
    JackKeyboard() { out.openVirtualPort("keys out"); }
    void Send(std::vector<unsigned char> bytes) { out.sendMessage(&bytes); }
    RtMidiOut out{RtMidi::UNIX_JACK, "Keyboard"};
};

// A sound module on JACK: what it receives, in order.
struct JackModule {
    JackModule()
    {
        in.setCallback(
            [](double, std::vector<unsigned char>* bytes, void* self) {
                auto* module = static_cast<JackModule*>(self);
                {
                    std::lock_guard lock(module->mutex);
                    module->received.push_back(*bytes);
                }
                module->changed.notify_all();
            },
            this);
        in.openVirtualPort("module in");
    }
    bool WaitFor(const std::vector<unsigned char>& message, std::chrono::milliseconds limit = 10s)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, [&] {
            return std::find(received.begin(), received.end(), message) != received.end();
        });
    }
    std::vector<std::vector<unsigned char>> Take()
    {
        std::lock_guard lock(mutex);
        return std::exchange(received, {});
    }
    RtMidiIn in{RtMidi::UNIX_JACK, "Module"};
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::vector<unsigned char>> received;
};

TEST(DevicesComeAndGo, AKeyboardUnpluggedLetsGoOfItsChordAndPlaysAgainWhenPluggedBack)
{
    test::JackServer jack;
    if (!jack.Ready())
        GTEST_SKIP() << test::JackServer::SkipReason();
    JackKeyboard keyboard;
    std::unique_ptr<IMidiSystem> midi = OpenMidiSystem("jack");
    ASSERT_GE(IndexOf(midi->InputNames(), "keys out"), 0);
    LiveOrgan organ(*midi);
    EXPECT_EQ(organ.input->OpenDeviceCount(), 1);
    ASSERT_TRUE(organ.watcher->Start());

    keyboard.Send({0xBF, 81, 7}); // draw the Solo 8' Tibia
    for (unsigned char note : {60, 64, 67})
        keyboard.Send({0x90, note, 100});
    ASSERT_TRUE(organ.heard.WaitFor([&] {
        return organ.heard.Has(kTibia, RankNote(6, 60, 127)) && organ.heard.Has(kTibia, RankNote(6, 64, 127)) &&
               organ.heard.Has(kTibia, RankNote(6, 67, 127));
    }));
    EXPECT_GT(organ.Voices(), 0);

    keyboard.out.closePort(); // unplugged with the chord held
    ASSERT_TRUE(organ.notices->WaitFor("was disconnected; the keys it held are released"));
    ASSERT_TRUE(organ.heard.WaitFor([&] { return organ.heard.NothingSounds(); }));
    EXPECT_EQ(test::VoicesLeftAfterRelease(organ.engine->Synth()->Synth()), 0);
    EXPECT_EQ(organ.input->OpenDeviceCount(), 0);

    keyboard.out.openVirtualPort("keys out"); // plugged back: the same name
    ASSERT_TRUE(organ.notices->WaitFor("is connected again"));
    EXPECT_EQ(organ.input->OpenDeviceCount(), 1);
    keyboard.Send({0x90, 72, 100});
    EXPECT_TRUE(organ.heard.WaitFor([&] { return organ.heard.Has(kTibia, RankNote(6, 72, 127)); }));
    keyboard.Send({0x80, 72, 0});
    EXPECT_TRUE(organ.heard.WaitFor([&] { return organ.heard.NothingSounds(); }));
    EXPECT_TRUE(organ.messages.Shown().empty()) << "no box for a device that comes and goes";
}

TEST(DevicesComeAndGo, ASoundModuleSwitchedOffAndOnIsVoicedAgainBeforeItsNextNote)
{
    test::JackServer jack;
    if (!jack.Ready())
        GTEST_SKIP() << test::JackServer::SkipReason();
    JackKeyboard keyboard;
    JackModule module;
    std::unique_ptr<IMidiSystem> midi = OpenMidiSystem("jack");
    const int moduleId = IndexOf(midi->OutputNames(), "module in");
    ASSERT_GE(moduleId, 0);
    LiveOrgan organ(*midi, [&](CConsole& c) {
        c.RankSettings()[kTuba].deviceId = static_cast<uint16_t>(moduleId);
        c.RankSettings()[kTuba].channel = 4;
        c.RankSettings()[kTuba].volume = 95;
        c.RankSettings()[kTuba].patch1 = 58;
    });
    ASSERT_TRUE(organ.watcher->Start());

    keyboard.Send({0xBF, 81, 5}); // draw the Solo 8' Tuba
    keyboard.Send({0x90, 60, 100});
    keyboard.Send({0x80, 60, 0});
    ASSERT_TRUE(module.WaitFor({0x94, 60, 0}));

    module.in.closePort(); // switched off
    ASSERT_TRUE(organ.notices->WaitFor("was disconnected; its ranks are silent until it returns"));
    keyboard.Send({0x90, 62, 100}); // played into nothing, without an error
    keyboard.Send({0x80, 62, 0});
    module.in.openVirtualPort("module in"); // switched on again
    ASSERT_TRUE(organ.notices->WaitFor("is connected again; its ranks sound again"));
    module.Take();

    keyboard.Send({0x90, 64, 100});
    ASSERT_TRUE(module.WaitFor({0x94, 64, 127}));
    const auto received = module.Take();
    auto at = [&](const std::vector<unsigned char>& m) {
        return std::find(received.begin(), received.end(), m) - received.begin();
    };
    const auto note = at({0x94, 64, 127});
    EXPECT_LT(at({0xC4, 58}), note) << "the program first";
    EXPECT_LT(at({0xB4, 7, 95}), note) << "and the volume";
    EXPECT_LT(at({0xB4, 11, 127}), note) << "and the expression its shoe stands at";
    EXPECT_EQ(std::count(received.begin(), received.end(), std::vector<unsigned char>{0x94, 62, 127}), 0)
        << "a note played while it was away does not arrive late";
    keyboard.Send({0x80, 64, 0});
    EXPECT_TRUE(module.WaitFor({0x94, 64, 0}));
    EXPECT_TRUE(organ.messages.Shown().empty());
}

// Fifty times a keyboard holding a chord is unplugged and plugged back, and
// the sound module of one of its ranks switched off and on, while the pedals
// play on: every unplugging lets its chord go, the module is voiced again
// each time, and at the end nothing sounds.
TEST(DevicesComeAndGo, FiftyUnpluggingsWhileAnotherDevicePlaysLeaveNothingStuck)
{
    test::PluggableMidi midi({"Pedals", "Keys"}, {"Module"});
    LiveOrgan organ(midi, [](CConsole& c) {
        c.RankSettings()[kTuba].deviceId = 0;
        c.RankSettings()[kTuba].channel = 4;
        c.RankSettings()[kTuba].patch1 = 58;
    });
    ASSERT_TRUE(organ.watcher->Start(1ms));
    midi.Send("Keys", ShortMessage(0xBF, 81, 7)); // draw the Solo 8' Tibia
    midi.Send("Keys", ShortMessage(0xBF, 81, 5)); // and the Tuba, on the module

    // The pedals play on, one note at a time as a player would: each is
    // heard before it is let go.
    std::atomic<bool> playing{true};
    std::atomic<int> pedalNotes{0};
    std::thread pedals([&] {
        for (int n = 0; playing; n = (n + 1) % 12) {
            const auto key = static_cast<uint8_t>(36 + n);
            if (!midi.Send("Pedals", ShortMessage(0x90, key, 90)))
                continue;
            // Even on the way out: a release sent before its press was heard
            // could still be queued when the test looks.
            organ.heard.WaitFor([&] { return organ.heard.Sounding(kTibia, key); });
            midi.Send("Pedals", ShortMessage(0x80, key, 0));
            ++pedalNotes;
        }
    });
    struct Join {
        std::atomic<bool>& playing;
        std::thread& thread;
        Heard& heard;
        ~Join()
        {
            playing = false;
            heard.changed.notify_all();
            if (thread.joinable())
                thread.join();
        }
    } join{playing, pedals, organ.heard};

    for (int cycle = 0; cycle < 50; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        const int note = 60 + cycle % 24;
        const size_t before = organ.heard.Count();
        for (int n : {note, note + 4, note + 7})
            ASSERT_TRUE(midi.Send("Keys", ShortMessage(0x90, static_cast<uint8_t>(n), 100)));
        ASSERT_TRUE(organ.heard.WaitFor([&] {
            return organ.heard.Has(kTibia, RankNote(6, note + 7, 127), before) &&
                   organ.heard.Has(kTuba, RankNote(4, note + 7, 127), before);
        }));
        midi.Plug("Keys", false);
        midi.PlugOutput("Module", false);
        ASSERT_TRUE(organ.notices->WaitFor("\"Keys\" was disconnected"));
        ASSERT_TRUE(organ.heard.WaitFor([&] {
            return !organ.heard.Sounding(kTibia, note) && !organ.heard.Sounding(kTibia, note + 4) &&
                   !organ.heard.Sounding(kTibia, note + 7);
        }));
        midi.Plug("Keys", true);
        ASSERT_TRUE(organ.notices->WaitFor("\"Keys\" is connected again"));
        midi.PlugOutput("Module", true);
        ASSERT_TRUE(organ.notices->WaitFor("\"Module\" is connected again"));
    }
    playing = false;
    organ.heard.changed.notify_all();
    pedals.join();
    EXPECT_GT(pedalNotes.load(), 0);
    EXPECT_TRUE(organ.heard.WaitFor([&] { return organ.heard.NothingSounds(kTuba); }));
    organ.watcher->Stop();
    organ.input->StopWorker(300, 10);
    organ.engine->StopWorker(300, 10);
    for (int r = 0; r < organ.engine->RankCount(); ++r)
        for (int8_t count : organ.engine->Rank(r).noteCounts)
            ASSERT_EQ(count, 0) << organ.engine->Rank(r).name;
    EXPECT_EQ(test::VoicesLeftAfterRelease(organ.engine->Synth()->Synth()), 0);
    EXPECT_TRUE(organ.messages.Shown().empty());
    // The module heard each chord, and was given its program again after every return.
    const std::vector<uint32_t> module = midi.Received("Module");
    EXPECT_EQ(std::count(module.begin(), module.end(), ShortMessage(0xC4, 58)), 51);
    EXPECT_EQ(std::count_if(module.begin(), module.end(),
                            [](uint32_t m) { return StatusOf(m) == 0x94 && Data1Of(m) >= 60 && Data2Of(m) > 0; }),
              150);
}

// The keyboard the Solo is set on was not plugged in when the organ started:
// plugged in later, it plays the Solo, and only it does.
TEST(DevicesComeAndGo, AKeyboardAwayAtStartPlaysItsDivisionOncePluggedIn)
{
    test::PluggableMidi midi({"Pedals"});
    LiveOrgan organ(midi, [](CConsole& c) {
        c.fileInputDevices = {{1, "Keys"}};
        c.DivSettings()[0].name = "1"; // the Solo listens to the Keys
        c.awaitedInputs = {"Keys"};
    });
    ASSERT_TRUE(organ.watcher->Start(1ms));
    ASSERT_TRUE(midi.Send("Pedals", ShortMessage(0xBF, 81, 7))); // draw the Solo 8' Tibia
    ASSERT_TRUE(midi.Send("Pedals", ShortMessage(0x90, 60, 100))); // the Solo listens to every device meanwhile
    ASSERT_TRUE(midi.Send("Pedals", ShortMessage(0x80, 60, 0)));
    ASSERT_TRUE(organ.heard.WaitFor([&] { return organ.heard.Has(kTibia, RankNote(6, 60, 0)); }));

    midi.Plug("Keys", true);
    ASSERT_TRUE(organ.notices->WaitFor("\"Keys\" is connected; it plays the divisions set for it"));
    ASSERT_TRUE(midi.Send("Keys", ShortMessage(0x90, 64, 100)));
    ASSERT_TRUE(organ.heard.WaitFor([&] { return organ.heard.Has(kTibia, RankNote(6, 64, 127)); }));
    ASSERT_TRUE(midi.Send("Keys", ShortMessage(0x80, 64, 0)));
    ASSERT_TRUE(organ.heard.WaitFor([&] { return organ.heard.NothingSounds(); }));
    {
        std::lock_guard lock(organ.console.DeviceLock());
        EXPECT_EQ(organ.console.DivSettings()[0].deviceId, 1);
        EXPECT_EQ(organ.console.inputDevicesInUse, (std::vector<uint16_t>{0, 1}));
        EXPECT_TRUE(organ.console.awaitedInputs.empty());
    }
    EXPECT_TRUE(organ.notices->seen.size() == 1) << "one line, and no \"New MIDI input\" for it";
    EXPECT_TRUE(organ.messages.Shown().empty());
}

} // namespace
