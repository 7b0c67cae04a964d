// Ranks voiced on MIDI output devices, the merged output, and the MIDI log.

#include "FakeMidiSystem.h"
#include "engine/MidiLog.h"
#include "engine/OutputEngine.h"
#include "organ/Console.h"
#include "platform/RecordingUserMessages.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

using namespace corvinta;
using corvinta::test::FakeMidiSystem;

namespace {

constexpr int kDevA = 0, kDevB = 1, kDevMerged = 2;

struct Devices : ::testing::Test {
    RecordingUserMessages messages;
    CConsole console{messages};
    FakeMidiSystem midi{{"Dev A", "Dev B", "Merge Box"}};
    std::unique_ptr<OutputEngine> engine;

    void Build(bool merged)
    {
        ConsoleBuildSteps steps;
        steps.readConfiguration = [&](CConsole& c) {
            c.RankSettings()[6].deviceId = kDevA; // Tibia
            c.RankSettings()[6].channel = 3;
            c.RankSettings()[2].deviceId = kDevA; // Tuba shares the handle
            c.RankSettings()[2].channel = 4;
            c.RankSettings()[17].deviceId = kDevMerged;
            c.Settings().console.mergedOutEnabled = merged;
        };
        console.Build(steps);
        engine = std::make_unique<OutputEngine>(console, EngineParts{.midi = &midi, .startSynth = false});
    }
    void Apply(RequestType type, int a, int b, int c)
    {
        engine->HandlerFor(type)(*engine, OutputRequest{type, a, b, static_cast<uint8_t>(c)});
    }
};

TEST_F(Devices, RanksOnOneDeviceShareOneHandleAndKeepTheirChannels)
{
    Build(false);
    EXPECT_EQ(midi.opens[kDevA], 1);
    EXPECT_EQ(engine->OpenOutputCount(), 1);
    EXPECT_EQ(engine->Rank(6).outputSlot, engine->Rank(2).outputSlot);
    EXPECT_EQ(engine->Rank(0).outputSlot, kNoDevice);

    // Voices went out at construction on each rank's channel.
    const auto voices = midi.SentTo(kDevA);
    EXPECT_NE(std::find(voices.begin(), voices.end(), ShortMessage(0xC3, 68)), voices.end());
    EXPECT_NE(std::find(voices.begin(), voices.end(), ShortMessage(0xC4, 56)), voices.end());

    midi.sent.clear();
    Apply(RequestType::RankStop, 0, 7, 1);  // Solo 8' Tibia
    Apply(RequestType::RankStop, 0, 5, 1);  // Solo 8' Tuba
    Apply(RequestType::KeyNote, 0, 60, 99);
    EXPECT_EQ(midi.SentTo(kDevA), (std::vector<uint32_t>{ShortMessage(0x93, 60, 127), ShortMessage(0x94, 60, 127)}));

    engine->CloseOutputs();
    EXPECT_EQ(midi.resets[kDevA], 1);
    EXPECT_EQ(midi.closes[kDevA], 1);
    EXPECT_EQ(engine->OpenOutputCount(), 0);
    EXPECT_EQ(engine->Rank(6).outputSlot, 0);
    midi.sent.clear();
    Apply(RequestType::KeyNote, 0, 62, 99);
    EXPECT_TRUE(midi.sent.empty()); // no handle at slot 0 any more
}

TEST_F(Devices, TheMergedOutputGetsEveryConsoleMessage)
{
    Build(true);
    midi.sent.clear();
    Apply(RequestType::RankStop, 0, 7, 1);
    Apply(RequestType::KeyNote, 2, 48, 77); // Accomp., input channel 2
    Apply(RequestType::Expression, 1, 100, 0);
    EXPECT_EQ(midi.SentTo(kDevMerged), (std::vector<uint32_t>{
                                           ShortMessage(0xBF, 81, 7),   // the stop's control message
                                           ShortMessage(0x91, 48, 77),  // the key on its input channel
                                           ShortMessage(0xBF, 7, 100),  // the Solo swell shoe
                                       }));

    console.Settings().console.mergedOutChannelMode = true;
    midi.sent.clear();
    Apply(RequestType::KeyNote, 2, 48, 0);
    EXPECT_EQ(midi.SentTo(kDevMerged), (std::vector<uint32_t>{ShortMessage(0x91, 48, 0)}));
    Apply(RequestType::KeyNote, 1, 50, 60); // Solo 2T's fixed output channel is 10
    EXPECT_EQ(midi.SentTo(kDevMerged).back(), ShortMessage(0x9A, 50, 60));
}

TEST_F(Devices, ADisabledMergedOutputOpensNothingAndGetsNothing)
{
    Build(false);
    EXPECT_EQ(midi.opens.count(kDevMerged), 0u);
    Apply(RequestType::KeyNote, 0, 60, 99);
    EXPECT_TRUE(midi.SentTo(kDevMerged).empty());
}

TEST_F(Devices, ADeviceThatWillNotOpenIsReportedAndItsRanksStaySilent)
{
    midi.failOpen.insert(kDevA);
    Build(true);
    const auto shown = messages.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Dev A: The device is busy");
    EXPECT_EQ(shown[0].icon, MessageIcon::Error);
    // The merged output opened at slot 0; the failed ranks must not send there.
    midi.sent.clear();
    Apply(RequestType::RankStop, 0, 7, 1);
    Apply(RequestType::KeyNote, 0, 60, 99);
    for (uint32_t m : midi.SentTo(kDevMerged))
        EXPECT_NE(StatusOf(m), 0x93) << "the Tibia's note leaked to the merged output";
}

TEST_F(Devices, ACloseFailureIsReported)
{
    midi.failClose.insert(kDevA);
    Build(false);
    engine->CloseOutputs();
    const auto shown = messages.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Dev A: The device would not close");
}

TEST_F(Devices, PanicSilencesEveryDeviceChannel)
{
    Build(false);
    midi.sent.clear();
    engine->AllNotesOff();
    const auto sent = midi.SentTo(kDevA);
    ASSERT_EQ(sent.size(), 16u);
    EXPECT_EQ(sent[15], ShortMessage(0xBF, 123, 0));
}

TEST_F(Devices, TheMidiLogWritesOneLinePerRankMessage)
{
    const std::string path = ::testing::TempDir() + "corvinta_midi_log.txt";
    {
        MidiLog log(midi.OutputNames());
        ASSERT_TRUE(log.Open(path));
        ConsoleBuildSteps steps;
        steps.readConfiguration = [&](CConsole& c) {
            c.RankSettings()[6].deviceId = kDevB;
            c.RankSettings()[6].channel = 3;
            c.Settings().soundFonts = {{"/usr/share/sounds/sf2/TimGM6mb.sf2", 25}};
        };
        console.Build(steps);
        engine = std::make_unique<OutputEngine>(console, EngineParts{.midi = &midi, .synth = {"none"}, .observer = &log});
        Apply(RequestType::RankStop, 0, 7, 1);
        Apply(RequestType::RankStop, 0, 12, 1); // 8' Flute on FluidSynth
        Apply(RequestType::KeyNote, 0, 60, 127);
        engine.reset();
        log.Close();
        EXPECT_EQ(log.Lost(), 0u);
    }
    std::ifstream in(path);
    std::string line;
    std::vector<std::string> lines;
    while (std::getline(in, line))
        lines.push_back(line);
    // 17 ranks x 4 voice messages, less the drum channel's bank and program, then two notes.
    ASSERT_EQ(lines.size(), 17u * 4 - 2 + 2);
    auto tail = [](const std::string& l) { return l.substr(l.find(' ') + 1); };
    EXPECT_EQ(tail(lines[lines.size() - 2]), "6 Dev B 93 3c 7f");
    EXPECT_EQ(tail(lines.back()), "0 fluidsynth 90 3c 7f");
    std::remove(path.c_str());
}

} // namespace
