// The event processor against what the console must do with each event.

#include "RecordingQueue.h"
#include "organ/Console.h"
#include "platform/RecordingUserMessages.h"

#include <gtest/gtest.h>

using namespace corvinta;
using corvinta::test::RecordingDisplay;
using corvinta::test::RecordingQueue;

namespace {

constexpr uint32_t kDevice = 0;                 // the one active input device
constexpr uint32_t Internal(int channel) { return 0xFFFF | uint32_t(channel) << 16; }
constexpr uint32_t Msg(int status, int d1, int d2 = 0) { return uint32_t(status) | uint32_t(d1) << 8 | uint32_t(d2) << 16; }

OutputRequest Key(int d, int n, int v) { return {RequestType::KeyNote, d, n, static_cast<uint8_t>(v)}; }
OutputRequest Req(RequestType t, int a, int b, int c) { return {t, a, b, static_cast<uint8_t>(c)}; }

struct Inputs final : IInputControl {
    std::vector<std::string> calls;
    void StopAll() override { calls.push_back("stop"); }
    void StartAll() override { calls.push_back("start"); }
    void SetInputEnabled(bool e) override { calls.push_back(e ? "enable" : "disable"); }
};

struct Events : ::testing::Test {
    RecordingUserMessages messages;
    CConsole console{messages};
    RecordingQueue queue;
    RecordingDisplay display;
    Inputs inputs;

    void SetUp() override
    {
        console.Build();
        console.inputDevicesInUse = {static_cast<uint16_t>(kDevice)};
        console.RebuildRouting();
        console.SetOutput(&queue);
        console.SetDisplay(&display);
        console.SetInputControl(&inputs);
    }
    std::vector<OutputRequest> Process(uint32_t source, uint32_t message)
    {
        console.ProcessEvent(source, message);
        return queue.Take();
    }
    ConsoleSettings& Switches() { return console.Settings().console; }
};

using Requests = std::vector<OutputRequest>;

TEST_F(Events, NotesGoToTheDivisionsOfTheirChannelWithRangeAndTransposition)
{
    console.DivSettings()[0].transpose = 2;
    console.DivSettings()[4].channel = 1; // the pedal shares the Accompaniment's channel
    console.DivSettings()[4].highNote = 67;
    console.RebuildRouting();
    struct Case {
        const char* what;
        uint32_t source, message;
        Requests expected;
    } cases[] = {
        {"Solo on channel 1, transposed", kDevice, Msg(0x90, 60, 90), {Key(0, 62, 90)}},
        {"note off is a zero velocity", kDevice, Msg(0x80, 60, 50), {Key(0, 62, 0)}},
        {"the file player is never transposed", Internal(0), Msg(0x90, 60, 90), {Key(0, 60, 90)}},
        {"a shared channel reaches both", kDevice, Msg(0x91, 50, 80), {Key(2, 50, 80), Key(4, 50, 80)}},
        {"above the pedal's range only the manual", kDevice, Msg(0x91, 70, 80), {Key(2, 70, 80)}},
        {"an unrouted channel reaches nothing", kDevice, Msg(0x95, 60, 80), {}},
        {"an unknown device reaches nothing", 7, Msg(0x90, 60, 80), {}},
        {"internal channel 11 plays Solo 2T", Internal(10), Msg(0x90, 64, 70), {Key(1, 64, 70)}},
        {"pitch bend is ignored", kDevice, Msg(0xE0, 0, 64), {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Process(c.source, c.message), c.expected) << c.what;
}

TEST_F(Events, ADivisionRangeExcludesNotesBeforeTransposition)
{
    console.DivSettings()[2].lowNote = 48;
    console.DivSettings()[2].highNote = 60;
    console.DivSettings()[2].transpose = -12;
    EXPECT_EQ(Process(kDevice, Msg(0x91, 47, 80)), Requests{});
    EXPECT_EQ(Process(kDevice, Msg(0x91, 60, 80)), Requests{Key(2, 48, 80)});
}

TEST_F(Events, NotesAndPressureAreTransposedAlikeAndNothingLeavesTheMidiRange)
{
    console.DivSettings()[0].transpose = 12;
    console.DivSettings()[2].transpose = -12;
    console.DivSettings()[1].channel = 0; // Solo 2T by key pressure on the Solo's channel
    console.DivSettings()[1].secondTouchMethod = 1;
    console.DivSettings()[1].pressureThreshold = 64;
    console.RebuildRouting();
    struct Case {
        const char* what;
        uint32_t source, message;
        Requests expected;
    } cases[] = {
        {"Solo key 115 up an octave", kDevice, Msg(0x90, 115, 90), {Key(0, 127, 90)}},
        {"Solo key 116 would pass 127", kDevice, Msg(0x90, 116, 90), {}},
        {"Solo key 120 does not wrap round to 4", kDevice, Msg(0x90, 120, 90), {}},
        {"its release neither", kDevice, Msg(0x80, 120, 0), {}},
        {"Accomp. key 12 down an octave", kDevice, Msg(0x91, 12, 90), {Key(2, 0, 90)}},
        {"Accomp. key 11 would fall below 0", kDevice, Msg(0x91, 11, 90), {}},
        {"pressure moves with the Solo's keys", kDevice, Msg(0xA0, 60, 100), {Key(1, 72, 100)}},
        {"and releases there", kDevice, Msg(0xA0, 60, 0), {Key(1, 72, 0)}},
        {"pressure taken past 127 is dropped", kDevice, Msg(0xA0, 120, 100), {}},
        {"the file player's pressure as written", Internal(10), Msg(0xAA, 60, 100), {Key(1, 60, 100)}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Process(c.source, c.message), c.expected) << c.what;
}

TEST_F(Events, DefaultControllersDrawStopsAndTremulantsOnChannel16)
{
    struct Case {
        const char* what;
        uint32_t message;
        Requests expected;
        int item;
        bool drawn;
    } cases[] = {
        {"81/7 draws the Solo Tibia", Msg(0xBF, 81, 7), {Req(RequestType::RankStop, 0, 7, 1)}, 7, true},
        {"80/7 cancels it", Msg(0xBF, 80, 7), {Req(RequestType::RankStop, 0, 7, 0)}, 7, false},
        {"81/34 draws unison off, which sends off", Msg(0xBF, 81, 34), {Req(RequestType::CouplerStop, 0, 34, 0)}, 34, true},
        {"81/95 the MAIN tremulant", Msg(0xBF, 81, 95), {Req(RequestType::Tremulant, 0, 0, 1)}, 95, true},
        {"81/84 the pedal traps coupler", Msg(0xBF, 81, 84), {Req(RequestType::CouplerStop, 4, 11, 1)}, 84, true},
        {"81/25 the marimba", Msg(0xBF, 81, 25), {Req(RequestType::PatchSwitchStop, 0, 25, 1)}, 25, true},
        {"channel 15 is not the control channel", Msg(0xBE, 81, 12), {}, 12, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Process(kDevice, c.message), c.expected) << c.what;
        EXPECT_EQ(console.registration.Test(c.item), c.drawn) << c.what;
    }
    EXPECT_TRUE(console.registrationChanged);
    // The tab follows.
    EXPECT_EQ(display.tabs.front(), std::make_pair(7, true));
}

TEST_F(Events, AnEffectSoundsWhileHeldAndShowsItsTabPressed)
{
    EXPECT_EQ(Process(kDevice, Msg(0xBF, 81, 85)), Requests{Req(RequestType::EffectStop, 4, 12, 1)});
    EXPECT_EQ(Process(kDevice, Msg(0xBF, 80, 85)), Requests{Req(RequestType::EffectStop, 4, 12, 0)});
    EXPECT_EQ(display.pressedTabs, (std::vector<std::pair<int, bool>>{{85, true}, {85, false}}));
    EXPECT_FALSE(console.registration.Test(85));
}

TEST_F(Events, SwellShoesAreCalibratedAndOneShoeCanDriveBoth)
{
    EXPECT_EQ(Process(kDevice, Msg(0xBF, 11, 100)),
              (Requests{Req(RequestType::Expression, 0, 100, 0), Req(RequestType::Expression, 1, 100, 0)}));
    Switches().useSingleSwell = false;
    console.Settings().calibration[1] = {20, 100};
    EXPECT_EQ(Process(kDevice, Msg(0xBF, 7, 60)), (Requests{Req(RequestType::Expression, 1, 40 * 127 / 80, 0)}));
    EXPECT_EQ(Process(kDevice, Msg(0xBF, 7, 10)), (Requests{Req(RequestType::Expression, 1, 0, 0)}));
    EXPECT_EQ(Process(kDevice, Msg(0xBF, 7, 110)), (Requests{Req(RequestType::Expression, 1, 127, 0)}));
}

TEST_F(Events, CrescendoAddsItsStagesWithoutMovingTheTabs)
{
    // Without the crescendo pedal in use, nothing.
    EXPECT_EQ(Process(kDevice, Msg(0xBF, 1, 100)), Requests{});
    Switches().useCrescendo = true;
    for (int value : {0, 5, 11}) {
        EXPECT_EQ(Process(kDevice, Msg(0xBF, 1, value)), Requests{}) << value;
        EXPECT_EQ(console.CrescendoStage(), 0) << value;
    }
    const auto stage2 = Process(kDevice, Msg(0xBF, 1, 17));
    EXPECT_EQ(console.CrescendoStage(), 2);
    const ItemSet expected = console.Piston(1).drawn[10];
    ASSERT_EQ(static_cast<int>(stage2.size()), expected.Count());
    for (const OutputRequest& r : stage2)
        EXPECT_EQ(r.c, console.Division(r.a).Stop(r.b).inverted ? 0 : 1);
    EXPECT_TRUE(display.tabs.empty());
    EXPECT_TRUE(console.registration.Empty());
    // Inside the stage's band nothing moves; full crescendo is stage 23.
    EXPECT_EQ(Process(kDevice, Msg(0xBF, 1, 19)), Requests{});
    Process(kDevice, Msg(0xBF, 1, 127));
    EXPECT_EQ(console.CrescendoStage(), 23);
    Process(kDevice, Msg(0xBF, 1, 0));
    EXPECT_EQ(console.CrescendoStage(), 0);
}

TEST_F(Events, MemoryLevelByControllerOnlyWhenEnabled)
{
    Process(kDevice, Msg(0xBF, 0, 3));
    EXPECT_EQ(Switches().memLevel, 0);
    Switches().bankSelectMemLevel = true;
    Process(kDevice, Msg(0xBF, 0, 3));
    EXPECT_EQ(Switches().memLevel, 3);
    Process(kDevice, Msg(0xBF, 0, 11));
    EXPECT_EQ(Switches().memLevel, 3);
    EXPECT_EQ(display.levels, std::vector<int>{3});
}

TEST_F(Events, ProgramChangesFirePistonsAtALevelOffset)
{
    console.Piston(0).drawn[1] = ItemSet::FromRanges({{12, 12}});
    const auto fired = Process(kDevice, Msg(0xCF, 23)); // Solo "P" at level 0 + 1
    ASSERT_GE(fired.size(), 2u);
    EXPECT_EQ(fired[0], Req(RequestType::RankNote, CConsole::kTrapsRank, 95, 0));
    EXPECT_EQ(fired[1], Req(RequestType::RankNote, CConsole::kTrapsRank, 95, 127));
    EXPECT_TRUE(console.registration.Test(12));
    EXPECT_EQ(console.registration.Count(), 1);

    // Above level 10 there is no memory: ignored.
    Switches().memLevel = 10;
    EXPECT_EQ(Process(kDevice, Msg(0xCF, 23)), Requests{});
    // Programs 125..127 toggle MAP, SET and MEM.
    Process(kDevice, Msg(0xCF, 126));
    EXPECT_TRUE(console.Latched(LatchButton::Set));
    Process(kDevice, Msg(0xCF, 126));
    EXPECT_FALSE(console.Latched(LatchButton::Set));
}

TEST_F(Events, EveryDefaultPistonProgramFiresItsPistonAtItsLevelOffset)
{
    // Program p + 23 k fires piston p at level k (the current level is 0);
    // each pair draws an item of its own.
    for (int program = 0; program < kPistonCount * kPistonLevelOffsets; ++program) {
        const int piston = program % kPistonCount, level = program / kPistonCount;
        const ItemSet own = ItemSet::FromRanges({{program % 84, program % 84}});
        console.Piston(piston).drawn[static_cast<size_t>(level)] = own;
        console.Piston(piston).scope[static_cast<size_t>(level)] = kAllItems;
        const Requests fired = Process(kDevice, Msg(0xCF, program));
        ASSERT_GE(fired.size(), 2u) << "program " << program;
        EXPECT_EQ(fired[0], Req(RequestType::RankNote, CConsole::kTrapsRank, 95, 0)) << "program " << program;
        EXPECT_EQ(console.registration, own) << "program " << program;
    }
}

TEST_F(Events, PanicOn120AlwaysAndOn123OnlyWhenEnabled)
{
    Process(kDevice, Msg(0xB0, 123, 0));
    EXPECT_EQ(queue.allNotesOff, 0);
    Process(kDevice, Msg(0xB0, 120, 0));
    EXPECT_EQ(queue.allNotesOff, 1);
    EXPECT_EQ(queue.holds, (std::vector<bool>{true, false}));
    EXPECT_EQ(inputs.calls, (std::vector<std::string>{"disable", "stop", "start", "enable"}));
    EXPECT_EQ(display.cleared, 1);
    Switches().enableMidiPanic = true;
    Process(kDevice, Msg(0xB3, 123, 0));
    EXPECT_EQ(queue.allNotesOff, 2);
}

TEST_F(Events, PressureReachesOnlySecondTouchDivisions)
{
    console.DivSettings()[1].channel = 0; // Solo 2T on the Solo's channel
    console.DivSettings()[1].secondTouchMethod = 1;
    console.DivSettings()[1].pressureThreshold = 64;
    console.RebuildRouting();
    EXPECT_EQ(Process(kDevice, Msg(0xA0, 60, 100)), Requests{Key(1, 60, 100)});
    EXPECT_EQ(Process(kDevice, Msg(0xA0, 60, 10)), Requests{Key(1, 60, 0)});

    console.DivSettings()[1].secondTouchMethod = 2;
    console.DivSettings()[0].secondTouchMethod = 2;
    Process(kDevice, Msg(0x90, 62, 90)); // both Solo and Solo 2T hear it
    EXPECT_EQ(Process(kDevice, Msg(0xD0, 100)), Requests{Key(1, 62, 100)});
}

// The computer keyboard's console keys, each by what it leaves behind.
TEST_F(Events, ConsoleKeysCancelRestoreLatchAndFirePistons)
{
    auto drawEverything = [this] {
        for (int d = 0; d < console.DivisionCount(); ++d)
            for (int s = 0; s < console.Division(d).stopCount; ++s)
                console.OnCommand(StopTabCommand(console.Division(d).Stop(s).item), 1);
        for (int t = 0; t < console.TremulantCount(); ++t)
            console.OnCommand(TremulantTabCommand(t), 1);
    };
    auto anyDrawn = [this](int first, int last) {
        for (int item = first; item <= last; ++item)
            if (console.registration.Test(item))
                return true;
        return false;
    };
    const struct {
        int key;
        int firstCleared, lastCleared; // items the key cancels
    } cancels[] = {
        {vk::Home, 0, 37}, {vk::Insert, 0, 37}, {vk::PageUp, 38, 72},
        {vk::End, 73, 83}, {vk::PageDown, 95, 99}, {vk::Backspace, 0, 83}, {vk::Delete, 0, 83},
    };
    for (const auto& c : cancels) {
        drawEverything();
        console.ConsoleKey(c.key, false);
        EXPECT_FALSE(anyDrawn(c.firstCleared, c.lastCleared)) << "key " << c.key;
        EXPECT_EQ(console.ConsoleKey(c.key, true), WindowKeyAction::None);
    }
    // Enter restores what the last cancel took away.
    console.ConsoleKey(vk::Enter, false);
    EXPECT_TRUE(anyDrawn(0, 83));

    for (const auto& [key, button] : {std::pair{vk::Equals, LatchButton::Mem}, std::pair{vk::Backslash, LatchButton::Set},
                                      std::pair{vk::RightBracket, LatchButton::Map}}) {
        console.ConsoleKey(key, false);
        EXPECT_TRUE(console.Latched(button));
        console.ConsoleKey(key, false);
        EXPECT_FALSE(console.Latched(button));
    }

    console.ConsoleKey(vk::F1, false); // the Solo's "P" piston
    EXPECT_TRUE(console.registration.Test(7));
    EXPECT_TRUE(console.registration.Test(13));

    queue.Take();
    console.ConsoleKey('A', false); // not a console key
    console.ConsoleKey(vk::Up, false);
    EXPECT_TRUE(queue.Take().empty());
    EXPECT_EQ(console.ConsoleKey(vk::Left, false), WindowKeyAction::PlayerPlay);
    EXPECT_EQ(console.ConsoleKey(vk::Right, false), WindowKeyAction::PlayerRecord);
    EXPECT_EQ(console.ConsoleKey(vk::Down, false), WindowKeyAction::PlayerLoop);
    EXPECT_EQ(console.ConsoleKey(vk::ScrollLock, false), WindowKeyAction::Relayout);
}

TEST_F(Events, EscapePanicsAndKeepsTheRegistrationAndToeStudsSoundWhileHeld)
{
    console.OnCommand(StopTabCommand(7), 1);
    console.OnCommand(TremulantTabCommand(kTremTibia), 1);
    const ItemSet before = console.registration;
    console.ConsoleKey(vk::Escape, false);
    EXPECT_EQ(queue.allNotesOff, 1);
    EXPECT_EQ(console.registration, before);

    queue.Take();
    console.ConsoleKey('R', false); // T1
    console.ConsoleKey('R', true);
    const Requests studs = queue.Take();
    ASSERT_EQ(studs.size(), 2u);
    EXPECT_EQ(studs[0].type, RequestType::EffectStop);
    EXPECT_EQ(studs[0].c, 127);
    EXPECT_EQ(studs[1].c, 0);
    EXPECT_EQ(display.pressedTabs, (std::vector<std::pair<int, bool>>{{85, true}, {85, false}}));
}

TEST_F(Events, TheSpaceBarSoundsEverySecondTouchDivisionForTheKeysHeld)
{
    console.PlayKey(0, 60, true, false);
    console.PlayKey(2, 48, true, false);
    queue.Take();
    console.ConsoleKey(vk::Space, false);
    Requests pressed = queue.Take();
    console.ConsoleKey(vk::Space, true);
    Requests released = queue.Take();
    auto keysOf = [](const Requests& r, int velocity) {
        std::vector<std::pair<int, int>> keys;
        for (const OutputRequest& q : r)
            if (q.type == RequestType::KeyNote && q.c == velocity)
                keys.emplace_back(q.a, q.b);
        return keys;
    };
    EXPECT_EQ(keysOf(pressed, 127), (std::vector<std::pair<int, int>>{{1, 60}, {3, 48}}));
    EXPECT_EQ(keysOf(released, 0), (std::vector<std::pair<int, int>>{{1, 60}, {3, 48}}));
}

} // namespace
