// Rank voicing on the real FluidSynth (no audio driver): which notes sound on
// which channels, checked in what was sent and in FluidSynth's own state.

#include "Gate.h"
#include "RecordingQueue.h"
#include "engine/OutputEngine.h"
#include "organ/Console.h"
#include "platform/RecordingUserMessages.h"

#include <fluidsynth.h>
#include <gtest/gtest.h>

#include <vector>

using namespace corvinta;

namespace {

const char* kTestFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

struct Sent {
    int rank;
    int device;
    uint32_t message;
};

struct SentLog final : IRankSendObserver {
    std::vector<Sent> sent;
    void RankSent(int rank, int device, uint32_t m) override { sent.push_back({rank, device, m}); }
    int Count(int rank, uint32_t message) const
    {
        int n = 0;
        for (const Sent& s : sent)
            n += s.rank == rank && s.message == message;
        return n;
    }
    int CountStatus(int rank, uint8_t statusKind) const
    {
        int n = 0;
        for (const Sent& s : sent)
            n += s.rank == rank && (StatusOf(s.message) & 0xF0) == statusKind;
        return n;
    }
};

constexpr int kSolo = 0, kAcc = 2;

// What goes to a take (and, the same way, to the merged output).
struct Take final : IRecorderSink {
    std::vector<uint32_t> messages;
    void Record(uint32_t m) override { messages.push_back(m); }
};

struct Voicing : ::testing::Test {
    RecordingUserMessages messages;
    CConsole console{messages};
    SentLog log;
    std::unique_ptr<OutputEngine> engine;

    void SetUp() override
    {
        ConsoleBuildSteps steps;
        steps.readConfiguration = [](CConsole& c) { c.Settings().soundFonts = {{kTestFont, 25}}; };
        console.Build(steps);
        engine = std::make_unique<OutputEngine>(console, EngineParts{.synth = {"none"}, .observer = &log});
        ASSERT_FALSE(engine->SynthFailed());
        ASSERT_TRUE(messages.Shown().empty());
        log.sent.clear();
    }

    // Handlers run here on the test thread, standing in for the worker.
    void Apply(RequestType type, int a, int b, int c)
    {
        const OutputRequest r{type, a, b, static_cast<uint8_t>(c)};
        engine->HandlerFor(type)(*engine, r);
    }
    void Draw(int item, bool on = true)
    {
        const int d = DivisionOfStop(item);
        const CStop& stop = console.StopByItem(item);
        Apply(static_cast<RequestType>(stop.type), d, item - FirstStopOf(d), on ^ stop.inverted);
    }
    fluid_synth_t* Synth() { return engine->Synth()->Synth(); }
    int Cc(int channel, int controller)
    {
        int value = -1;
        fluid_synth_get_cc(Synth(), channel, controller, &value);
        return value;
    }
    int Program(int channel)
    {
        int font = 0, bank = 0, preset = -1;
        fluid_synth_get_program(Synth(), channel, &font, &bank, &preset);
        return preset;
    }
    void Render(double seconds)
    {
        std::vector<float> left(1024), right(1024);
        for (int i = 0; i < static_cast<int>(seconds * 44100 / 1024); ++i)
            fluid_synth_write_float(Synth(), 1024, left.data(), 0, 1, right.data(), 0, 1);
    }
    bool AllCountsZero()
    {
        for (int r = 0; r < engine->RankCount(); ++r)
            for (int8_t c : engine->Rank(r).noteCounts)
                if (c != 0)
                    return false;
        return true;
    }
};

TEST_F(Voicing, EveryRankGetsItsBankVolumePanAndFirstPatch)
{
    console.RankSettings()[3].volume = 70;
    engine->SetupRankVoices();
    for (int r = 0; r < 17; ++r) {
        const RNKSETTINGS& rs = console.RankSettings()[r];
        EXPECT_EQ(Cc(rs.channel, 7), rs.volume) << r;
        EXPECT_EQ(Cc(rs.channel, 10), rs.pan) << r;
        if (rs.channel != 9) {
            EXPECT_EQ(Program(rs.channel), rs.patch1) << r;
        }
    }
}

TEST_F(Voicing, TheDrumChannelNeverGetsBankOrProgram)
{
    engine->SetupRankVoices();
    const int traps = engine->TrapsRank();
    EXPECT_EQ(console.RankSettings()[traps].channel, 9);
    EXPECT_EQ(log.CountStatus(traps, 0xC0), 0);
    EXPECT_EQ(log.Count(traps, ShortMessage(0xB9, 0, 25)), 0);
    EXPECT_EQ(log.Count(traps, ShortMessage(0xB9, 7, 95)), 1);
    // Notes and controllers still go through.
    Draw(58); // snare drum on the Accompaniment
    Apply(RequestType::KeyNote, kAcc, 60, 100);
    EXPECT_EQ(log.Count(traps, ShortMessage(0x99, 38, 127)), 1);
    int bank = 0, font = 0, preset = 0;
    fluid_synth_get_program(Synth(), 9, &font, &bank, &preset);
    EXPECT_GE(bank, 128) << "channel 10 keeps a percussion bank";
}

TEST_F(Voicing, TwoCouplersOnOnePipeSoundItOnceAndReleaseItOnce)
{
    Draw(47); // Accomp 8' Flute
    Draw(51); // Accomp 4' Flute
    Draw(63); // Accomp octave coupler: the 8' at +12 meets the 4'
    Apply(RequestType::KeyNote, kAcc, 48, 90);
    EXPECT_EQ(engine->Rank(0).noteCounts[60], 2);
    EXPECT_EQ(log.Count(0, ShortMessage(0x90, 60, 127)), 1);
    EXPECT_EQ(log.Count(0, ShortMessage(0x90, 48, 127)), 1);
    EXPECT_EQ(log.Count(0, ShortMessage(0x90, 72, 127)), 1);

    Draw(63, false); // the coupler goes: 60 still held by the 4'
    EXPECT_EQ(log.Count(0, ShortMessage(0x90, 60, 0)), 0);
    EXPECT_EQ(log.Count(0, ShortMessage(0x90, 72, 0)), 1);
    Apply(RequestType::KeyNote, kAcc, 48, 0);
    EXPECT_EQ(log.Count(0, ShortMessage(0x90, 60, 0)), 1);
    EXPECT_TRUE(AllCountsZero());
}

TEST_F(Voicing, AKeyHeldFromTwoSourcesSoundsUntilBothLetGo)
{
    Draw(7); // Solo 8' Tibia
    Apply(RequestType::KeyNote, kSolo, 60, 90);
    Apply(RequestType::KeyNote, kSolo, 60, 90);
    Apply(RequestType::KeyNote, kSolo, 60, 0);
    EXPECT_EQ(log.Count(6, ShortMessage(0x96, 60, 0)), 0);
    EXPECT_EQ(engine->HeldKeys(kSolo).size(), 1u);
    Apply(RequestType::KeyNote, kSolo, 60, 0);
    EXPECT_EQ(log.Count(6, ShortMessage(0x96, 60, 0)), 1);
    EXPECT_TRUE(engine->HeldKeys(kSolo).empty());
}

// The release of a key that is not down (its press found a ring full) must
// not count down the pipes another key holds.
TEST_F(Voicing, AReleaseOfAKeyThatIsNotDownLeavesTheOtherKeysSounding)
{
    Draw(47); // Accomp 8' Flute
    Draw(51); // Accomp 4' Flute: key 36 would sound note 48 of the same rank
    Apply(RequestType::KeyNote, kAcc, 48, 90);
    Apply(RequestType::KeyNote, kAcc, 36, 0);
    EXPECT_EQ(log.Count(0, ShortMessage(0x90, 48, 0)), 0);
    EXPECT_EQ(engine->Rank(0).noteCounts[48], 1);
    Apply(RequestType::KeyNote, kAcc, 48, 0);
    EXPECT_EQ(log.Count(0, ShortMessage(0x90, 48, 0)), 1);
    EXPECT_TRUE(AllCountsZero());
}

// After a panic with a key held, the key's release finds it not down: the
// pipes are left alone, but the take gets its note-off.
TEST_F(Voicing, AReleaseOfAKeyThatIsNotDownIsStillEchoed)
{
    Take take;
    engine->SetRecorder(&take);
    engine->SetRecording(true);
    Draw(7);
    Apply(RequestType::KeyNote, kSolo, 60, 90);
    engine->AllNotesOff();
    log.sent.clear();
    take.messages.clear();
    Apply(RequestType::KeyNote, kSolo, 60, 0);
    EXPECT_TRUE(log.sent.empty());
    EXPECT_EQ(take.messages, std::vector<uint32_t>{ShortMessage(0x90, 60, 0)});
    EXPECT_TRUE(AllCountsZero());
}

// With assignments of their own, items left without a message echo nothing
// (not controller 0 on channel 16, which is the memory-level control).
TEST_F(Voicing, OnlyAssignedItemsAreEchoed)
{
    Take take;
    engine->SetRecorder(&take);
    engine->SetRecording(true);
    console.useDefaultAssignments = false;
    console.assignments.device.controllers.Clear();
    console.assignments.device.controllers.Insert(ControlCode(kControlEntry, 70, 1), StopItemCode(kSolo, 7, true));
    console.FillControlBytes();
    Draw(7);          // assigned when drawn
    Draw(7, false);   // not when cancelled
    Draw(12);         // a stop without any
    Draw(84);         // a coupler without any
    Draw(85);         // an effect without any
    Apply(RequestType::Tremulant, 0, kTremMain, 1);
    EXPECT_EQ(take.messages, std::vector<uint32_t>{ShortMessage(0xBF, 70, 1)});
}

// The marimba tabs of three divisions share one rank.
TEST_F(Voicing, APatchSwitchedRankStaysSwitchedWhileAnyOfItsTabsIsDrawn)
{
    const int marimba = 11;
    const RNKSETTINGS& rs = console.RankSettings()[marimba];
    auto programs = [&] {
        std::vector<int> sent;
        for (const Sent& s : log.sent)
            if (s.rank == marimba && (StatusOf(s.message) & 0xF0) == 0xC0)
                sent.push_back(Data1Of(s.message));
        return sent;
    };
    Draw(25);
    Draw(55);
    Draw(25, false);
    Draw(68);
    Draw(55, false);
    EXPECT_EQ(programs(), std::vector<int>{rs.patch2}) << "switched once, by the first tab";
    Draw(68, false);
    EXPECT_EQ(programs(), (std::vector<int>{rs.patch2, rs.patch1})) << "and back by the last";
    EXPECT_EQ(Program(marimba), rs.patch1);
}

TEST_F(Voicing, DrawingAStopSoundsTheHeldKeysAtOnce)
{
    Apply(RequestType::KeyNote, kSolo, 60, 90);
    Apply(RequestType::KeyNote, kSolo, 64, 90);
    EXPECT_EQ(fluid_synth_get_active_voice_count(Synth()), 0);
    Draw(7);  // 8' Tibia
    Draw(19); // 4' Flute
    EXPECT_EQ(log.Count(6, ShortMessage(0x96, 60, 127)), 1);
    EXPECT_EQ(log.Count(6, ShortMessage(0x96, 64, 127)), 1);
    EXPECT_EQ(log.Count(0, ShortMessage(0x90, 72, 127)), 1);
    EXPECT_GT(fluid_synth_get_active_voice_count(Synth()), 0);
    Draw(7, false);
    EXPECT_EQ(log.Count(6, ShortMessage(0x96, 60, 0)), 1);
    EXPECT_EQ(log.Count(6, ShortMessage(0x96, 64, 0)), 1);
}

TEST_F(Voicing, UnisonOffSilencesTheSoloUnisonButNotItsCouplers)
{
    Draw(7);  // 8' Tibia
    Draw(35); // octave coupler
    Draw(34); // unison off
    Apply(RequestType::KeyNote, kSolo, 60, 90);
    EXPECT_EQ(log.Count(6, ShortMessage(0x96, 60, 127)), 0);
    EXPECT_EQ(log.Count(6, ShortMessage(0x96, 72, 127)), 1);
    Draw(34, false); // the unison comes back on the held key
    EXPECT_EQ(log.Count(6, ShortMessage(0x96, 60, 127)), 1);
    Apply(RequestType::KeyNote, kSolo, 60, 0);
    EXPECT_TRUE(AllCountsZero());
}

TEST_F(Voicing, TrapsOnlySoundThroughTheirOwnSecondTouchDivision)
{
    // The Accompaniment snare must not sound from the pedal through ACC PED,
    // whichever order the stop, the coupler and the key come in.
    Apply(RequestType::KeyNote, 4, 40, 90);
    Draw(83); // ACC PED
    Draw(58); // snare
    Draw(83, false);
    Draw(83);
    Apply(RequestType::KeyNote, 4, 40, 0);
    EXPECT_EQ(log.CountStatus(engine->TrapsRank(), 0x90), 0);
    EXPECT_TRUE(AllCountsZero());

    // The pedal's traps coupler brings the bass drum from Pedal Traps 2T.
    Draw(84); // PED TRAPS
    Draw(91); // bass drum
    Apply(RequestType::KeyNote, 4, 40, 90);
    EXPECT_EQ(log.Count(engine->TrapsRank(), ShortMessage(0x99, 36, 127)), 1);
    Apply(RequestType::KeyNote, 4, 40, 0);
    EXPECT_TRUE(AllCountsZero());
}

TEST_F(Voicing, CelloSoundsBothViolsAndUnificationMovesTheBourdon)
{
    Draw(80);
    Apply(RequestType::KeyNote, 4, 36, 90);
    EXPECT_EQ(log.Count(3, ShortMessage(0x93, 36, 127)), 1);
    EXPECT_EQ(log.Count(4, ShortMessage(0x94, 36, 127)), 1);
    Apply(RequestType::KeyNote, 4, 36, 0);

    console.Settings().console.useTibiaUnification = true;
    console.ApplyTibiaUnification();
    Draw(1); // Solo 16' Bourdon
    Apply(RequestType::KeyNote, kSolo, 60, 90);
    EXPECT_EQ(log.Count(6, ShortMessage(0x96, 48, 127)), 1);
    EXPECT_EQ(log.CountStatus(0, 0x90), 0);
}

TEST_F(Voicing, ExpressionRunsFromTheMinimumLevelTo127OnItsChamberOnly)
{
    engine->SetMinimumExpression(20);
    Apply(RequestType::Expression, 0, 0, 0);
    EXPECT_EQ(Cc(0, 11), 20);  // Flute, Main chamber
    EXPECT_EQ(Cc(2, 11), 127); // Tuba, Solo chamber, untouched
    Apply(RequestType::Expression, 0, 127, 0);
    EXPECT_EQ(Cc(0, 11), 127);
    Apply(RequestType::Expression, 1, 64, 0);
    EXPECT_EQ(Cc(2, 11), 20 + (107 * 64) / 127);
    EXPECT_EQ(Cc(0, 11), 127);
}

// Applying settings sets the minimum level from the user-interface thread
// while the worker is moving a shoe; nothing orders the two.
TEST_F(Voicing, TheMinimumLevelChangesSafelyWhileTheWorkerRuns)
{
    static test::Gate* handled = nullptr;
    test::Gate gate;
    handled = &gate;
    gate.Open();
    engine->SetHandler(RequestType::RankNote, [](OutputEngine&, const OutputRequest&) { handled->Pass(); });
    ASSERT_TRUE(engine->StartWorker());
    engine->SetHold(true);
    for (int i = 0; i < 200; ++i)
        engine->Push(RequestType::Expression, 0, 0, 0);
    engine->Push(RequestType::RankNote, 0, 0, 0);
    engine->SetHold(false);
    for (int level = 0; level <= 30; ++level)
        engine->SetMinimumExpression(static_cast<uint8_t>(level));
    ASSERT_TRUE(gate.WaitPassed(1));

    engine->Push(RequestType::Expression, 0, 0, 0);
    engine->Push(RequestType::RankNote, 0, 0, 0);
    ASSERT_TRUE(gate.WaitPassed(2));
    EXPECT_EQ(Cc(0, 11), 30);
    EXPECT_TRUE(engine->StopWorker(300, 10));
}

TEST_F(Voicing, TremulantByPatchChangeSwitchesProgramsAndRestrikes)
{
    Draw(7);
    Apply(RequestType::KeyNote, kSolo, 60, 90);
    log.sent.clear();
    Apply(RequestType::Tremulant, 0, kTremTibia, 1);
    EXPECT_EQ(Program(6), 18);
    ASSERT_EQ(log.sent.size(), 3u);
    EXPECT_EQ(log.sent[0].message, ShortMessage(0xC6, 18));
    EXPECT_EQ(log.sent[1].message, ShortMessage(0x96, 60, 0));
    EXPECT_EQ(log.sent[2].message, ShortMessage(0x96, 60, 127));
    Apply(RequestType::Tremulant, 0, kTremTibia, 0);
    EXPECT_EQ(Program(6), 68);

    // A rank whose two patches are the same hears nothing.
    console.RankSettings()[7].patch2 = console.RankSettings()[7].patch1;
    log.sent.clear();
    Apply(RequestType::Tremulant, 0, kTremMain, 1);
    EXPECT_EQ(log.CountStatus(7, 0xC0), 0);
    EXPECT_EQ(log.CountStatus(0, 0xC0), 1);
}

TEST_F(Voicing, TremulantByModulationSendsTheDepth)
{
    console.Settings().console.tremoloMethod = 1;
    Apply(RequestType::Tremulant, 0, kTremSolo, 1);
    EXPECT_EQ(Cc(8, 1), 80);
    EXPECT_EQ(Cc(10, 1), 80);
    EXPECT_EQ(log.CountStatus(8, 0xC0), 0);
    Apply(RequestType::Tremulant, 0, kTremSolo, 0);
    EXPECT_EQ(Cc(8, 1), 0);
}

TEST_F(Voicing, AllNotesOffLeavesNoVoiceSounding)
{
    for (int item : {5, 6, 7, 12, 19, 41, 45, 47, 74, 76, 80})
        Draw(item);
    for (int note : {60, 64, 67, 72})
        Apply(RequestType::KeyNote, kSolo, note, 100);
    Apply(RequestType::KeyNote, kAcc, 48, 100);
    Apply(RequestType::KeyNote, 4, 36, 100);
    Render(0.1);
    EXPECT_GT(fluid_synth_get_active_voice_count(Synth()), 10);

    engine->AllNotesOff();
    EXPECT_TRUE(AllCountsZero());
    for (int d = 0; d < 6; ++d)
        EXPECT_TRUE(engine->HeldKeys(d).empty());
    Render(3.0); // let the release phases end
    EXPECT_EQ(fluid_synth_get_active_voice_count(Synth()), 0);

    // Stops stay drawn: the next key sounds them again.
    Apply(RequestType::KeyNote, kSolo, 60, 100);
    EXPECT_GT(fluid_synth_get_active_voice_count(Synth()), 0);
}

TEST_F(Voicing, BadRequestsSendNothing)
{
    const std::vector<OutputRequest> bad = {
        {RequestType::KeyNote, 6, 60, 100},   {RequestType::KeyNote, -1, 60, 100},
        {RequestType::KeyNote, 0, 128, 100},  {RequestType::RankStop, 0, 36, 1},
        {RequestType::CouplerStop, 7, 0, 1},  {RequestType::Tremulant, 0, 5, 1},
        {RequestType::Expression, 2, 64, 0},  {RequestType::RankNote, 17, 60, 100},
        {RequestType::RankNote, 3, 200, 100}, {RequestType::EffectStop, 4, 99, 1},
    };
    for (const OutputRequest& r : bad)
        engine->HandlerFor(r.type)(*engine, r);
    EXPECT_TRUE(log.sent.empty());
    // A 16' stop on the lowest keys reaches below MIDI note 0 and is dropped.
    Draw(0);
    Apply(RequestType::KeyNote, kSolo, 5, 100);
    Apply(RequestType::KeyNote, kSolo, 5, 0);
    EXPECT_TRUE(log.sent.empty());
}

TEST(SoundFonts, AFontThatFailsIsReportedOnceAndDroppedAndTheOthersLoad)
{
    RecordingUserMessages messages;
    CConsole console(messages);
    ConsoleBuildSteps steps;
    steps.readConfiguration = [](CConsole& c) {
        c.Settings().soundFonts = {{"missing.sf2", 25}, {kTestFont, 0}, {kTestFont, 1}};
    };
    console.Build(steps);
    // FluidSynth's own complaint about the file stays off the terminal.
    testing::internal::CaptureStderr();
    OutputEngine engine(console, EngineParts{.synth = {"none"}});
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    const auto shown = messages.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Failed to load the \"missing.sf2\" sound font");
    EXPECT_EQ(shown[0].caption, "Corvinta Fluidsynth Initialization");
    ASSERT_EQ(console.Settings().soundFonts.size(), 2u);
    ASSERT_EQ(engine.Synth()->LoadedFontIds().size(), 2u);
    EXPECT_EQ(fluid_synth_get_bank_offset(engine.Synth()->Synth(), engine.Synth()->LoadedFontIds()[1]), 1);

    // Loading again replaces the fonts as a whole.
    engine.Synth()->LoadSoundFonts();
    EXPECT_EQ(fluid_synth_sfcount(engine.Synth()->Synth()), 2);
}

TEST(SoundFonts, SettingsReadBackAsApplied)
{
    RecordingUserMessages messages;
    CConsole console(messages);
    ConsoleBuildSteps steps;
    steps.readConfiguration = [](CConsole& c) {
        c.Settings().soundFonts = {{kTestFont, 25}};
        c.Settings().synth.gain = 0.5;
        c.Settings().synth.reverbRoomSize = 0.7;
        c.Settings().synth.chorusOn = true;
        c.Settings().synth.chorusVoiceCount = 5;
        c.Settings().synth.chorusType = 1;
        c.Settings().synth.polyphony = 128;
    };
    console.Build(steps);
    OutputEngine engine(console, EngineParts{.synth = {"none"}});
    SynthSettings read;
    engine.Synth()->ReadSynthSettings(read);
    EXPECT_DOUBLE_EQ(read.gain, 0.5);
    EXPECT_NEAR(read.reverbRoomSize, 0.7, 1e-6);
    EXPECT_TRUE(read.chorusOn);
    EXPECT_TRUE(read.reverbOn);
    EXPECT_EQ(read.chorusVoiceCount, 5);
    EXPECT_EQ(read.chorusType, 1);
    EXPECT_EQ(read.polyphony, 128);
}

TEST(SoundFonts, AnAudioDriverThatCannotStartIsReportedAndTheOrganGoesOn)
{
    RecordingUserMessages messages;
    CConsole console(messages);
    ConsoleBuildSteps steps;
    steps.readConfiguration = [](CConsole& c) { c.Settings().soundFonts = {{kTestFont, 25}}; };
    console.Build(steps);
    // A file driver told to write where no file can be made.
    OutputEngine engine(console, EngineParts{.synth = {"file", "/nonexistent/dir/out.wav"}});
    EXPECT_FALSE(engine.SynthFailed());
    EXPECT_FALSE(engine.Synth()->HasAudioDriver());
    const auto shown = messages.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Failed to create the audio driver");
    EXPECT_EQ(engine.Synth()->LoadedFontIds().size(), 1u);
}

} // namespace
