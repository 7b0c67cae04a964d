// Keys, second touch and stop switches of a division become output requests.

#include "RecordingQueue.h"
#include "organ/Console.h"
#include "platform/RecordingUserMessages.h"

#include <gtest/gtest.h>

using namespace corvinta;
using corvinta::test::RecordingDisplay;
using corvinta::test::RecordingQueue;

namespace {

constexpr int kSolo = 0, kSolo2T = 1, kAcc = 2, kAcc2T = 3, kPedal = 4;

OutputRequest Key(int division, int note, int velocity)
{
    return {RequestType::KeyNote, division, note, static_cast<uint8_t>(velocity)};
}

struct DivisionInput : ::testing::Test {
    RecordingUserMessages messages;
    CConsole console{messages};
    RecordingQueue queue;
    RecordingDisplay display;

    void SetUp() override
    {
        console.Build();
        console.SetOutput(&queue);
        console.SetDisplay(&display);
    }
    DIVSETTINGS& Settings(int d) { return console.DivSettings()[static_cast<size_t>(d)]; }
};

TEST_F(DivisionInput, ManualKeyPushesAndShows)
{
    console.Division(kAcc).DivisionKey(60, 100);
    console.Division(kAcc).DivisionKey(60, 0);
    EXPECT_EQ(queue.Take(), (std::vector<OutputRequest>{Key(kAcc, 60, 100), Key(kAcc, 60, 0)}));
    ASSERT_EQ(display.keys.size(), 2u);
    EXPECT_EQ(display.keys[0].division, kAcc);
    EXPECT_EQ(display.keys[0].key, 60 - 36);
    EXPECT_TRUE(display.keys[0].pressed);
    EXPECT_FALSE(display.keys[1].pressed);
}

TEST_F(DivisionInput, KeyOutsideTheShownCompassSoundsButShowsNothing)
{
    console.Division(kPedal).DivisionKey(80, 90);
    EXPECT_EQ(queue.Take().size(), 1u);
    EXPECT_TRUE(display.keys.empty());
}

TEST_F(DivisionInput, SecondTouchDivisionPlayedFromItsOwnInputShowsOnItsManual)
{
    Settings(kSolo2T).secondTouchMethod = 0;
    console.Division(kSolo2T).DivisionKey(64, 70);
    EXPECT_EQ(queue.Take(), (std::vector<OutputRequest>{Key(kSolo2T, 64, 70)}));
    ASSERT_EQ(display.keys.size(), 1u);
    EXPECT_EQ(display.keys[0].division, kSolo);
    EXPECT_EQ(console.Division(kSolo).keyboard.pressed[64 - 36].load(), 1);

    // With a pressure method its own notes are ignored, unless direct.
    Settings(kSolo2T).secondTouchMethod = 1;
    console.Division(kSolo2T).DivisionKey(65, 70);
    EXPECT_TRUE(queue.Take().empty());
    console.Division(kSolo2T).DivisionKey(65, 70, true, true);
    EXPECT_EQ(queue.Take(), (std::vector<OutputRequest>{Key(kSolo2T, 65, 70)}));
}

TEST_F(DivisionInput, ChannelPressureStartsAndStopsHeldKeysOnlyWhenCrossingTheThreshold)
{
    Settings(kAcc).secondTouchMethod = 2;
    Settings(kAcc2T).secondTouchMethod = 2;
    Settings(kAcc2T).pressureThreshold = 40;
    CDivision& acc = console.Division(kAcc);
    CDivision& acc2 = console.Division(kAcc2T);
    for (int note : {48, 52, 55})
        acc.DivisionKey(static_cast<uint8_t>(note), 90);
    queue.Take();

    acc2.ChannelPressureSecondTouch(40, false); // at the threshold: nothing
    EXPECT_TRUE(queue.Take().empty());
    acc2.ChannelPressureSecondTouch(64, false);
    EXPECT_EQ(queue.Take(), (std::vector<OutputRequest>{Key(kAcc2T, 48, 64), Key(kAcc2T, 52, 64), Key(kAcc2T, 55, 64)}));
    acc2.ChannelPressureSecondTouch(100, false); // still above: nothing pushed, level kept
    EXPECT_TRUE(queue.Take().empty());

    // A key pressed now joins at the stored level; released, it leaves.
    acc.DivisionKey(60, 90);
    EXPECT_EQ(queue.Take(), (std::vector<OutputRequest>{Key(kAcc, 60, 90), Key(kAcc2T, 60, 100)}));
    acc.DivisionKey(60, 0);
    EXPECT_EQ(queue.Take(), (std::vector<OutputRequest>{Key(kAcc, 60, 0), Key(kAcc2T, 60, 0)}));

    acc2.ChannelPressureSecondTouch(10, false);
    EXPECT_EQ(queue.Take(), (std::vector<OutputRequest>{Key(kAcc2T, 48, 0), Key(kAcc2T, 52, 0), Key(kAcc2T, 55, 0)}));

    // Released keys are forgotten: pressure again sounds only what is held.
    acc.DivisionKey(48, 0);
    queue.Take();
    acc2.ChannelPressureSecondTouch(127, false);
    EXPECT_EQ(queue.Take(), (std::vector<OutputRequest>{Key(kAcc2T, 52, 127), Key(kAcc2T, 55, 127)}));
}

TEST_F(DivisionInput, ChannelPressureNeedsItsMethodUnlessForced)
{
    Settings(kSolo).secondTouchMethod = 0;
    Settings(kSolo2T).secondTouchMethod = 1;
    console.Division(kSolo).DivisionKey(60, 90, true, true); // direct: tracked all the same
    queue.Take();
    console.Division(kSolo2T).ChannelPressureSecondTouch(127, false);
    EXPECT_TRUE(queue.Take().empty());
    console.Division(kSolo2T).ChannelPressureSecondTouch(127, true);
    EXPECT_EQ(queue.Take(), (std::vector<OutputRequest>{Key(kSolo2T, 60, 127)}));
}

TEST_F(DivisionInput, KeyPressureAboveTheThresholdSoundsOnce)
{
    Settings(kSolo2T).secondTouchMethod = 1;
    Settings(kSolo2T).pressureThreshold = 100;
    CDivision& solo2 = console.Division(kSolo2T);
    solo2.KeyPressureSecondTouch(60, 100);
    EXPECT_TRUE(queue.Take().empty());
    solo2.KeyPressureSecondTouch(60, 101);
    solo2.KeyPressureSecondTouch(60, 120);
    EXPECT_EQ(queue.Take(), (std::vector<OutputRequest>{Key(kSolo2T, 60, 101)}));
    solo2.KeyPressureSecondTouch(60, 100);
    EXPECT_EQ(queue.Take(), (std::vector<OutputRequest>{Key(kSolo2T, 60, 0)}));
    solo2.KeyPressureSecondTouch(60, 0);
    EXPECT_TRUE(queue.Take().empty());

    // Release by pressure 0 too, and only with method 1.
    solo2.KeyPressureSecondTouch(61, 127);
    solo2.KeyPressureSecondTouch(61, 0);
    EXPECT_EQ(queue.Take(), (std::vector<OutputRequest>{Key(kSolo2T, 61, 127), Key(kSolo2T, 61, 0)}));
    Settings(kSolo2T).secondTouchMethod = 2;
    solo2.KeyPressureSecondTouch(62, 127);
    EXPECT_TRUE(queue.Take().empty());
}

// Many keyboards and files never send a last low pressure before the key
// comes up: the manual key's release ends its second touch.
TEST_F(DivisionInput, ReleasingTheManualKeyEndsItsKeyPressureSecondTouch)
{
    Settings(kSolo2T).secondTouchMethod = 1;
    Settings(kSolo2T).pressureThreshold = 64;
    CDivision& solo = console.Division(kSolo);
    solo.DivisionKey(60, 90);
    solo.DivisionKey(62, 90);
    console.Division(kSolo2T).KeyPressureSecondTouch(60, 100);
    queue.Take();
    solo.DivisionKey(60, 0);
    solo.DivisionKey(62, 0); // never pressed through
    EXPECT_EQ(queue.Take(), (std::vector<OutputRequest>{Key(kSolo, 60, 0), Key(kSolo2T, 60, 0), Key(kSolo, 62, 0)}));
    // A late low pressure finds nothing left to release.
    console.Division(kSolo2T).KeyPressureSecondTouch(60, 0);
    EXPECT_TRUE(queue.Take().empty());
}

TEST_F(DivisionInput, SwitchStopPushesItsKindOnceAndFollowsTheTab)
{
    CDivision& solo = console.Division(kSolo);
    solo.SwitchStop(7, true, true); // 8' Tibia
    solo.SwitchStop(7, true, true); // same state: nothing
    solo.SwitchStop(25, true, false); // Marimba: patch switch, tab untouched
    solo.SwitchStop(33, true, true);  // Sub coupler
    EXPECT_EQ(queue.Take(), (std::vector<OutputRequest>{{RequestType::RankStop, kSolo, 7, 1},
                                                        {RequestType::PatchSwitchStop, kSolo, 25, 1},
                                                        {RequestType::CouplerStop, kSolo, 33, 1}}));
    EXPECT_EQ(display.tabs, (std::vector<std::pair<int, bool>>{{7, true}, {33, true}}));

    console.Division(kAcc).SwitchStop(58 - 38, true, true); // snare drum
    EXPECT_EQ(queue.Take(), (std::vector<OutputRequest>{{RequestType::FixedNoteStop, kAcc, 20, 1}}));
}

TEST_F(DivisionInput, UnisonOffIsReversed)
{
    CDivision& solo = console.Division(kSolo);
    solo.SwitchStop(34, true, true);
    solo.SwitchStop(34, false, true);
    EXPECT_EQ(queue.Take(), (std::vector<OutputRequest>{{RequestType::CouplerStop, kSolo, 34, 0},
                                                        {RequestType::CouplerStop, kSolo, 34, 1}}));
}

TEST_F(DivisionInput, EffectStopsAndUnavailableQuietCouplersAreIgnored)
{
    console.Division(kPedal).SwitchStop(85 - 73, true, true); // toe stud T1
    EXPECT_TRUE(queue.Take().empty());
    EXPECT_TRUE(display.tabs.empty());

    console.Division(kAcc).Stop(25).type = StopKind::QuietCouplerStop;
    console.SetTimerQueueAvailable(false);
    console.Division(kAcc).SwitchStop(25, true, true);
    EXPECT_TRUE(queue.Take().empty());
    console.SetTimerQueueAvailable(true);
    console.Division(kAcc).SwitchStop(25, true, true);
    EXPECT_EQ(queue.Take(), (std::vector<OutputRequest>{{RequestType::QuietCouplerStop, kAcc, 25, 1}}));
}

} // namespace
