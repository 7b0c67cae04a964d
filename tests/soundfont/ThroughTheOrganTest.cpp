// The organ as a new installation has it: no configuration, so the default
// sound font list ("Corvinta.sf2", bank offset 25) and the rank table's
// channels, banks and programs. Every stop, every Traps note, the piston
// click and the tremulants must sound through the organ's own voicing.

#include "AudioAnalysis.h"
#include "FluidRender.h"
#include "engine/OutputEngine.h"
#include "organ/Console.h"
#include "platform/RecordingUserMessages.h"
#include "tools/soundfont/ToneSynth.h"

#include <fluidsynth.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <vector>

using namespace corvinta;
using namespace corvinta::test;

namespace {

struct ThroughTheOrgan : ::testing::Test {
    std::filesystem::path before = std::filesystem::current_path();
    RecordingUserMessages messages;
    CConsole console{messages};
    std::unique_ptr<OutputEngine> engine;

    void SetUp() override
    {
        // The organ looks for its sound font in its working folder.
        std::filesystem::current_path(std::filesystem::path(CORVINTA_SOUNDFONT).parent_path());
        console.Build();
        engine = std::make_unique<OutputEngine>(console, EngineParts{.synth = {"none"}});
        ASSERT_FALSE(engine->SynthFailed());
        ASSERT_TRUE(messages.Shown().empty()) << "the default sound font loads";
    }
    void TearDown() override { std::filesystem::current_path(before); }

    void Apply(RequestType type, int a, int b, int c) { engine->HandlerFor(type)(*engine, OutputRequest{type, a, b, uint8_t(c)}); }
    void Stop(int item, bool on)
    {
        const int d = DivisionOfStop(item);
        Apply(static_cast<RequestType>(kStops[item].kind), d, item - FirstStopOf(d), on);
    }
    fluid_synth_t* Synth() { return engine->Synth()->Synth(); }
    Stereo Render(double seconds)
    {
        Stereo out;
        const auto frames = size_t(seconds * 44100);
        out.left.resize(frames);
        out.right.resize(frames);
        fluid_synth_write_float(Synth(), int(frames), out.left.data(), 0, 1, out.right.data(), 0, 1);
        return out;
    }
    std::set<int> SoundingChannels()
    {
        std::vector<fluid_voice_t*> voices(512);
        fluid_synth_get_voicelist(Synth(), voices.data(), int(voices.size()), -1);
        std::set<int> channels;
        for (fluid_voice_t* v : voices)
            if (v && fluid_voice_is_playing(v))
                channels.insert(fluid_voice_get_channel(v));
        return channels;
    }
    void Silence()
    {
        engine->AllNotesOff();
        fluid_synth_all_sounds_off(Synth(), -1);
        Render(0.05);
    }
    int ChannelOf(int rank) { return console.RankSettings()[rank].channel; }
    static int KeyFor(int division) { return (kDivisions[division].lowNote + kDivisions[division].highNote) / 2; }
};

TEST_F(ThroughTheOrgan, EveryStopSoundsItsRanksFromTheDefaultFont)
{
    for (int item = 0; item < kStopCount; ++item) {
        const StopDefinition& s = kStops[item];
        const bool ranked = s.kind == StopKind::RankStop || s.kind == StopKind::PatchSwitchStop;
        if (!ranked && s.kind != StopKind::FixedNoteStop)
            continue;
        SCOPED_TRACE("stop " + std::to_string(item));
        const int d = DivisionOfStop(item);
        Stop(item, true);
        Apply(RequestType::KeyNote, d, KeyFor(d), 127);
        const std::set<int> channels = SoundingChannels();
        const Stereo out = Render(0.3);
        for (int j = 0; j < s.ranks; ++j)
            EXPECT_TRUE(channels.count(ChannelOf(s.rankOrDivision + j))) << kRanks[s.rankOrDivision + j].name;
        EXPECT_GT(out.Peak(), 0.005f);
        EXPECT_LT(out.Peak(), 1.0f);
        Apply(RequestType::KeyNote, d, KeyFor(d), 0);
        Stop(item, false);
        Silence();
    }
}

TEST_F(ThroughTheOrgan, EveryEffectAndThePistonClickSoundOnTheTraps)
{
    const int traps = engine->TrapsRank();
    for (int item = 0; item < kStopCount; ++item) {
        if (kStops[item].kind != StopKind::EffectStop)
            continue;
        const int d = DivisionOfStop(item);
        Apply(RequestType::EffectStop, d, item - FirstStopOf(d), 1);
        EXPECT_TRUE(SoundingChannels().count(ChannelOf(traps))) << "stop " << item;
        EXPECT_GT(Render(0.3).Peak(), 0.005f) << "stop " << item;
        Apply(RequestType::EffectStop, d, item - FirstStopOf(d), 0);
        Silence();
    }
    Apply(RequestType::RankNote, traps, console.Settings().console.pistonSound, 127);
    EXPECT_GT(Render(0.1).Peak(), 0.005f) << "piston click";
}

TEST_F(ThroughTheOrgan, EveryTremulantPulsesTheRanksItNames)
{
    for (int t = 0; t < kTremulantCount; ++t) {
        for (int rank = 0; rank < kRankCount; ++rank) {
            if (!(kTremulants[t].rankMask & (1u << rank)) || kRanks[rank].patch1 == kRanks[rank].patch2)
                continue;
            // An 8' stop of the rank on a manual.
            int item = 0;
            while (!(kStops[item].kind == StopKind::RankStop && kStops[item].rankOrDivision == rank &&
                     kStops[item].pitchOrNote == 0 && kStops[item].ranks == 1))
                ++item;
            SCOPED_TRACE(std::string(kRanks[rank].name));
            const int d = DivisionOfStop(item);
            Stop(item, true);
            Apply(RequestType::Tremulant, 0, t, 1);
            Apply(RequestType::KeyNote, d, 69, 127);
            const Stereo out = Render(2.5);
            const Track track = FollowPartial(std::vector<float>(out.left.begin() + 17640, out.left.end()),
                                              soundfont::NoteFrequency(69));
            const Modulation pitch = StrongestModulation(track.cents, 2.0, 15.0);
            EXPECT_GT(pitch.hz, 5.0);
            EXPECT_LT(pitch.hz, 8.0);
            EXPECT_GT(pitch.depth, 8.0);
            Apply(RequestType::KeyNote, d, 69, 0);
            Apply(RequestType::Tremulant, 0, t, 0);
            Stop(item, false);
            Silence();
        }
    }
}

} // namespace
