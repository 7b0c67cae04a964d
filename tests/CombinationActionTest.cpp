// Pistons, SET, MAP, MEM, the cancels and "RES", and the console lock that
// keeps a piston on screen and a stop by MIDI from interleaving.

#include "RecordingQueue.h"
#include "organ/Console.h"
#include "platform/RecordingUserMessages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace corvinta;
using corvinta::test::RecordingDisplay;
using corvinta::test::RecordingQueue;

namespace {

constexpr int kCancel = 1173, kMap = 1174, kSet = 1175, kMem = 1176, kRes = 1177, kTrm = 1280, kPed = 1283;

struct Combinations : ::testing::Test {
    RecordingUserMessages messages;
    CConsole console{messages};
    RecordingQueue queue;
    RecordingDisplay display;

    void SetUp() override
    {
        console.Build();
        console.RebuildRouting();
        console.SetOutput(&queue);
        console.SetDisplay(&display);
    }
    void Draw(int item, bool on = true)
    {
        console.OnCommand(item < 95 ? StopTabCommand(item) : TremulantTabCommand(item - 95), on);
    }
    bool Sounding(int item) { return console.StopByItem(item).sounding != console.StopByItem(item).inverted; }
};

TEST_F(Combinations, RecallAppliesTheScopedCombinationAndLeavesTheRest)
{
    Draw(41); // an Accompaniment stop, outside the Solo pistons' scope
    Draw(3);  // a Solo stop the piston does not draw
    queue.Take();
    console.OnCommand(PistonCommand(0), 0); // Solo "P": 7, 13, 19 and four tremulants
    const ItemSet expected = ItemSet::FromRanges({{7, 7}, {13, 13}, {19, 19}, {41, 41}, {95, 97}, {99, 99}});
    EXPECT_EQ(console.registration, expected);
    EXPECT_FALSE(Sounding(3));
    EXPECT_TRUE(Sounding(41));
    EXPECT_TRUE(Sounding(13));
    EXPECT_TRUE(console.Trem(0).sounding);
    const auto requests = queue.Take();
    EXPECT_EQ(requests[0], (OutputRequest{RequestType::RankNote, CConsole::kTrapsRank, 95, 0}));
    EXPECT_EQ(requests[1], (OutputRequest{RequestType::RankNote, CConsole::kTrapsRank, 95, 127}));
}

TEST_F(Combinations, SetStoresWithoutSoundingAndMapStoresTheScope)
{
    Draw(7);
    Draw(9);
    queue.Take();
    console.OnCommand(kSet, 1);
    console.OnCommand(PistonCommand(3), 0);
    EXPECT_TRUE(queue.Take().empty());
    EXPECT_EQ(console.Piston(3).drawn[0], ItemSet::FromRanges({{7, 7}, {9, 9}}));
    EXPECT_FALSE(console.Latched(LatchButton::Set));

    console.OnCommand(kMap, 1);
    console.OnCommand(kSet, 1);
    console.OnCommand(PistonCommand(3), 0);
    EXPECT_EQ(console.Piston(3).scope[0], ItemSet::FromRanges({{7, 7}, {9, 9}}));
    // With MAP held a press shows the scope.
    Draw(7, false);
    Draw(9, false);
    console.OnCommand(PistonCommand(3), 0);
    EXPECT_EQ(console.registration, ItemSet::FromRanges({{7, 7}, {9, 9}}));
}

TEST_F(Combinations, APistonWithAnEmptyScopeTogglesItsItems)
{
    console.Piston(4).scope[0] = ItemSet{};
    console.Piston(4).drawn[0] = ItemSet::FromRanges({{7, 7}, {99, 99}});
    Draw(12);
    console.OnCommand(PistonCommand(4), 0);
    EXPECT_EQ(console.registration, ItemSet::FromRanges({{7, 7}, {12, 12}, {99, 99}}));
    console.OnCommand(PistonCommand(4), 0);
    EXPECT_EQ(console.registration, ItemSet::FromRanges({{12, 12}}));
    EXPECT_FALSE(console.Trem(4).sounding);
}

TEST_F(Combinations, CancelsClearTheirDivisionsButNeverThePedalTraps)
{
    for (int item : {7, 37, 41, 66, 74, 84, 93})
        Draw(item);
    Draw(95);
    console.OnCommand(kPed, 0);
    EXPECT_FALSE(console.registration.Test(74));
    EXPECT_FALSE(console.registration.Test(93)); // Pedal Traps 2T goes with the pedal
    EXPECT_TRUE(console.registration.Test(84));
    EXPECT_TRUE(console.registration.Test(41));

    console.OnCommand(kTrm, 0);
    EXPECT_FALSE(console.registration.Test(95));
    EXPECT_TRUE(console.registration.Test(7));

    console.OnCommand(kCancel, 0);
    EXPECT_EQ(console.registration, ItemSet::FromRanges({{84, 84}}));
    EXPECT_TRUE(Sounding(84));
    EXPECT_FALSE(Sounding(37));
}

TEST_F(Combinations, RestoreBringsBackTheRegistrationBeforeThePiston)
{
    Draw(7);
    Draw(96);
    console.OnCommand(PistonCommand(8), 0); // Solo "4": 6, 8, 9, 15, no tremulants
    EXPECT_FALSE(console.registration.Test(7));
    console.OnCommand(kRes, 0);
    EXPECT_EQ(console.registration, ItemSet::FromRanges({{7, 7}, {96, 96}}));
    EXPECT_TRUE(Sounding(7));
    EXPECT_TRUE(console.Trem(1).sounding);
}

TEST_F(Combinations, MemSelectsALevelWithAPistonAndResSwapsBack)
{
    console.OnCommand(kMem, 1);
    console.OnCommand(PistonCommand(12), 0); // Accompaniment "F": level 12 mod 5 + 5
    EXPECT_EQ(console.Settings().console.memLevel, 7);
    EXPECT_FALSE(console.Latched(LatchButton::Mem));
    EXPECT_TRUE(queue.Take().empty());

    console.OnCommand(kMem, 1);
    console.OnCommand(PistonCommand(2), 0);
    EXPECT_EQ(console.Settings().console.memLevel, 2);
    console.OnCommand(kMem, 1);
    console.OnCommand(kRes, 0);
    EXPECT_EQ(console.Settings().console.memLevel, 7);
    EXPECT_EQ(display.levels, (std::vector<int>{7, 2, 7}));

    console.OnCommand(1153 + 10, 0);
    EXPECT_EQ(console.Settings().console.memLevel, 10);
    console.OnCommand(1170, 0);
    EXPECT_EQ(console.Settings().console.memLevel, 0);
}

TEST_F(Combinations, TheCrescendoComesBackAfterAPiston)
{
    console.Settings().console.useCrescendo = true;
    console.inputDevicesInUse = {0};
    console.RebuildRouting();
    console.ProcessEvent(0, 0xBF | 1 << 8 | 100 << 16); // stage 18
    ASSERT_EQ(console.CrescendoStage(), 18);
    const ItemSet stage = console.Piston(17).drawn[10];
    console.OnCommand(kCancel, 0);
    for (int item = 0; item < 95; ++item)
        if (stage.Test(item) && console.StopByItem(item).type != StopKind::EffectStop) {
            EXPECT_TRUE(console.StopByItem(item).sounding) << item;
        }
    EXPECT_TRUE(console.registration.Empty());
}

TEST_F(Combinations, PlayKeyUsesTheSecondTouchDivisionAndNoTransposition)
{
    console.DivSettings()[0].transpose = 5;
    console.PlayKey(0, 60, true, false);
    console.PlayKey(0, 60, true, true);
    console.PlayKey(0, 60, false, true);
    EXPECT_EQ(queue.Take(), (std::vector<OutputRequest>{{RequestType::KeyNote, 0, 60, 127},
                                                        {RequestType::KeyNote, 1, 60, 127},
                                                        {RequestType::KeyNote, 1, 60, 0}}));
    EXPECT_TRUE(display.keys.empty()); // the keyboard shows its own key
}

// The UI thread fires pistons while the input worker draws stops by MIDI.
// Each update runs whole under the console lock, so every stop's sound
// always matches its bit in the registration. Clean under ThreadSanitizer.
TEST(ConsoleLock, PistonsOnScreenAndStopsByMidiNeverInterleave)
{
    RecordingUserMessages messages;
    CConsole console(messages);
    console.Build();
    console.inputDevicesInUse = {0};
    console.RebuildRouting();
    RecordingQueue queue;
    console.SetOutput(&queue);

    std::atomic<bool> go{false};
    std::thread midi([&] {
        while (!go) {
        }
        for (int i = 0; i < 3000; ++i) {
            const int item = i % 38;
            console.ProcessEvent(0, 0xBF | uint32_t(i % 2 ? 80 : 81) << 8 | uint32_t(item) << 16);
        }
    });
    go = true;
    for (int i = 0; i < 1000; ++i)
        console.OnCommand(PistonCommand(i % 10), 0);
    midi.join();

    for (int item = 0; item < 38; ++item) {
        const CStop& stop = console.StopByItem(item);
        if (stop.type == StopKind::EffectStop)
            continue;
        EXPECT_EQ(stop.sounding, console.registration.Test(item)) << item;
        EXPECT_EQ(stop.shown, console.registration.Test(item)) << item;
    }
}

} // namespace
