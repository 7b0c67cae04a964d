// The organ's ranks on real MIDI ports: a JACK server on the dummy back end,
// and a reader client standing in for a sound module and a merge box.

#include "JackServer.h"
#include "engine/OutputEngine.h"
#include "organ/Console.h"
#include "platform/MidiSystem.h"
#include "platform/RecordingUserMessages.h"

#include <gtest/gtest.h>
#include <rtmidi/RtMidi.h>

#include <chrono>
#include <thread>

using namespace corvinta;
using namespace std::chrono_literals;

namespace {

// Collects what arrives on one of its ports.
struct Reader {
    explicit Reader(const std::string& port) : in(RtMidi::UNIX_JACK, "Reader") { in.openVirtualPort(port); }

    std::vector<std::vector<unsigned char>> WaitFor(size_t count, std::chrono::milliseconds limit = 5s)
    {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (received.size() < count && std::chrono::steady_clock::now() < until) {
            std::vector<unsigned char> message;
            in.getMessage(&message);
            if (message.empty())
                std::this_thread::sleep_for(2ms);
            else
                received.push_back(message);
        }
        return received;
    }

    RtMidiIn in;
    std::vector<std::vector<unsigned char>> received;
};

int IndexOf(const std::vector<std::string>& names, const std::string& part)
{
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i].find(part) != std::string::npos)
            return static_cast<int>(i);
    return -1;
}

TEST(MidiPorts, RanksAndTheMergedOutputReachRealPorts)
{
    test::JackServer jack;
    if (!jack.Ready())
        GTEST_SKIP() << test::JackServer::SkipReason();
    Reader module("module in");
    Reader merge("merge in");

    std::unique_ptr<IMidiSystem> midi = OpenMidiSystem("jack");
    ASSERT_EQ(midi->ApiName(), "jack");
    const int moduleId = IndexOf(midi->OutputNames(), "module in");
    const int mergeId = IndexOf(midi->OutputNames(), "merge in");
    ASSERT_GE(moduleId, 0);
    ASSERT_GE(mergeId, 0);

    RecordingUserMessages messages;
    CConsole console(messages);
    ConsoleBuildSteps steps;
    steps.readConfiguration = [&](CConsole& c) {
        c.RankSettings()[6].deviceId = static_cast<uint16_t>(moduleId); // Tibia
        c.RankSettings()[6].channel = 5;
        c.RankSettings()[2].deviceId = static_cast<uint16_t>(moduleId); // Tuba
        c.RankSettings()[2].channel = 6;
        c.RankSettings()[17].deviceId = static_cast<uint16_t>(mergeId);
        c.Settings().console.mergedOutEnabled = true;
    };
    console.Build(steps);
    OutputEngine engine(console, EngineParts{.midi = midi.get(), .startSynth = false});
    EXPECT_TRUE(messages.Shown().empty());
    EXPECT_EQ(engine.OpenOutputCount(), 2); // the Tibia and the Tuba share one port
    console.SetOutput(&engine);
    ASSERT_TRUE(engine.StartWorker());

    // 17 ranks' voices went to FluidSynth; the two module ranks sent theirs here.
    const auto voices = module.WaitFor(8);
    ASSERT_EQ(voices.size(), 8u);
    module.received.clear();

    console.Division(0).SwitchStop(7, true, true); // Solo 8' Tibia
    console.Division(0).DivisionKey(60, 100);
    console.Division(0).DivisionKey(60, 0);
    const auto played = module.WaitFor(2);
    ASSERT_EQ(played.size(), 2u);
    EXPECT_EQ(played[0], (std::vector<unsigned char>{0x95, 60, 127}));
    EXPECT_EQ(played[1], (std::vector<unsigned char>{0x95, 60, 0}));

    const auto merged = merge.WaitFor(3);
    ASSERT_EQ(merged.size(), 3u);
    EXPECT_EQ(merged[0], (std::vector<unsigned char>{0xBF, 81, 7}));
    EXPECT_EQ(merged[1], (std::vector<unsigned char>{0x90, 60, 100}));
    EXPECT_EQ(merged[2], (std::vector<unsigned char>{0x90, 60, 0}));

    EXPECT_TRUE(engine.StopWorker(300, 10));
}

TEST(MidiPorts, NamesStayTheSameAcrossRestarts)
{
    struct Case {
        const char* reported;
        const char* stable;
    } cases[] = {
        {"Midi Through:Midi Through Port-0 14:0", "Midi Through:Midi Through Port-0"},
        {"USB Keyboard:USB Keyboard MIDI 1 24:0", "USB Keyboard:USB Keyboard MIDI 1"},
        {"Reader:module in", "Reader:module in"},
        {"Pedalboard 2", "Pedalboard 2"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StableMidiPortName(c.reported), c.stable);
}

TEST(MidiPorts, NoMidiSystemMeansNoDevicesNotAnError)
{
    // An ALSA sequencer that is not there falls back to JACK, then to none.
    ::setenv("JACK_DEFAULT_SERVER", "corvinta-no-such-server", 1);
    std::unique_ptr<IMidiSystem> midi = OpenMidiSystem("");
    if (midi->ApiName() == "alsa")
        GTEST_SKIP() << "this machine has an ALSA sequencer";
    EXPECT_EQ(midi->ApiName(), "none");
    EXPECT_TRUE(midi->OutputNames().empty());
    EXPECT_TRUE(midi->InputNames().empty());
}

} // namespace
