// The organ model built from its tables, against the instrument it describes.

#include "organ/Console.h"
#include "platform/RecordingUserMessages.h"

#include <gtest/gtest.h>

using namespace corvinta;

namespace {

struct BuiltConsole : ::testing::Test {
    RecordingUserMessages messages;
    CConsole console{messages};
    void SetUp() override { console.Build(); }
};

TEST_F(BuiltConsole, CountsAndFirstStops)
{
    EXPECT_EQ(console.DivisionCount(), 6);
    EXPECT_EQ(console.StopCount(), 95);
    EXPECT_EQ(console.TremulantCount(), 5);
    EXPECT_EQ(console.PistonCount(), 23);
    EXPECT_EQ(console.DivSettings().size(), 7u);
    EXPECT_EQ(console.RankSettings().size(), 18u);
    const int firstStops[] = {0, 36, 38, 65, 73, 91};
    for (int d = 0; d < 6; ++d) {
        EXPECT_EQ(console.Division(d).firstStop, firstStops[d]) << "division " << d;
        EXPECT_EQ(console.Division(d).isSecondTouch, d % 2 == 1);
        for (int i = 0; i < console.Division(d).stopCount; ++i)
            EXPECT_EQ(console.Division(d).Stop(i).item, firstStops[d] + i);
    }
}

TEST_F(BuiltConsole, OnlyTheSoloHasAUnisonOff)
{
    EXPECT_EQ(console.Division(0).unisonOffStop, 34);
    EXPECT_TRUE(console.Division(0).Stop(34).inverted);
    for (int d = 1; d < 6; ++d)
        EXPECT_EQ(console.Division(d).unisonOffStop, -1);
    int inverted = 0;
    for (int item = 0; item < 95; ++item)
        inverted += console.StopByItem(item).inverted;
    EXPECT_EQ(inverted, 1);
}

TEST_F(BuiltConsole, CelloSoundsBothViols)
{
    const CStop& cello = console.StopByItem(80);
    EXPECT_EQ(cello.label, "\n\n8\nCELLO\n");
    EXPECT_EQ(cello.EffectiveRank(), 3);
    EXPECT_EQ(cello.ranks, 2);
    for (int item = 0; item < 95; ++item) {
        if (item != 80) {
            EXPECT_EQ(console.StopByItem(item).ranks, 1) << item;
        }
    }
}

TEST_F(BuiltConsole, TibiaUnificationMovesOnlyTheSoloFlutesToTheTibia)
{
    const int soloAlternatives[] = {1, 21, 23, 24};
    const int accompanimentFlutes[] = {53, 54}; // 12th and Piccolo
    for (int item : soloAlternatives)
        EXPECT_EQ(console.StopByItem(item).EffectiveRank(), 0);

    console.Settings().console.useTibiaUnification = true;
    console.ApplyTibiaUnification();
    for (int item : soloAlternatives)
        EXPECT_EQ(console.StopByItem(item).EffectiveRank(), kTibiaClausaRank) << item;
    for (int item : accompanimentFlutes)
        EXPECT_EQ(console.StopByItem(item).EffectiveRank(), 0) << item;

    console.Settings().console.useTibiaUnification = false;
    console.ApplyTibiaUnification();
    EXPECT_EQ(console.StopByItem(1).EffectiveRank(), 0);
}

TEST_F(BuiltConsole, TremulantsCarryTheirMasksAndTabNumbers)
{
    const uint32_t masks[] = {155, 1280, 32, 4, 64};
    const int tabs[] = {95, 96, 98, 97, 99};
    for (int t = 0; t < 5; ++t) {
        EXPECT_EQ(console.Trem(t).rankMask, masks[t]);
        EXPECT_EQ(console.Trem(t).item, 95 + t);
        EXPECT_EQ(console.Trem(t).number, tabs[t]);
        EXPECT_EQ(console.Trem(t).control.valueOn, 95 + t);
    }
    // MAIN's mask is the Main-chamber tremmed ranks 0, 1, 3, 4, 7.
    EXPECT_EQ(kTremulants[0].rankMask, (1u << 0) | (1u << 1) | (1u << 3) | (1u << 4) | (1u << 7));
}

TEST_F(BuiltConsole, DefaultControlAssignmentsUseChannel16AndTheItemNumber)
{
    const CStop& stop = console.StopByItem(42);
    EXPECT_EQ(stop.control.channelOn, 15);
    EXPECT_EQ(stop.control.channelOff, 15);
    EXPECT_EQ(stop.control.controllerOn, 81);
    EXPECT_EQ(stop.control.controllerOff, 80);
    EXPECT_EQ(stop.control.valueOn, 42);
    EXPECT_EQ(stop.control.valueOff, 42);
}

TEST_F(BuiltConsole, BuiltInPistonMemory)
{
    const CPiston& soloP = console.Piston(0);
    EXPECT_EQ(soloP.item, 100);
    EXPECT_EQ(soloP.key, vk::F1);
    EXPECT_EQ(soloP.drawn[0], ItemSet::FromRanges({{7, 7}, {13, 13}, {19, 19}, {95, 97}, {99, 99}}));
    EXPECT_EQ(soloP.scope[0], ItemSet::FromRanges({{0, 37}, {95, 99}}));

    // Levels 1..9 are empty and leave the Pedal Traps coupler alone.
    for (int level = 1; level <= 9; ++level) {
        EXPECT_TRUE(console.Piston(5).drawn[level].Empty());
        EXPECT_FALSE(console.Piston(5).scope[level].Test(84));
        EXPECT_EQ(console.Piston(5).scope[level], ItemSet::FromRanges({{0, 83}, {85, 99}}));
    }
    // Level 10 is the crescendo stage, scoped to everything.
    EXPECT_EQ(console.Piston(0).drawn[10].Word64(0), 0x0000800000001000u);
    EXPECT_EQ(console.Piston(22).drawn[10].Word64(1), 0x0000000000055600u);
    EXPECT_EQ(console.Piston(22).scope[10].Count(), 128);

    const CPiston& pedal3 = console.Piston(22);
    EXPECT_EQ(pedal3.division, 4);
    EXPECT_EQ(pedal3.key, 'E');
    EXPECT_EQ(pedal3.drawn[0], ItemSet::FromRanges({{73, 74}, {76, 76}, {79, 79}}));
}

TEST_F(BuiltConsole, KeyboardsAndDefaultChannels)
{
    EXPECT_EQ(console.Division(0).keyboard.keyCount, 61);
    EXPECT_EQ(console.Division(4).keyboard.keyCount, 32);
    EXPECT_EQ(console.Division(1).keyboard.keyCount, 0);
    const int channels[] = {0, 10, 1, 11, 2, 12, 15};
    for (int d = 0; d < 7; ++d)
        EXPECT_EQ(console.DivSettings()[d].channel, channels[d]);
    EXPECT_EQ(console.DivSettings()[6].secondTouchMethod, 2);
    EXPECT_EQ(console.DivSettings()[0].secondTouchMethod, 0);
    EXPECT_EQ(console.RankSettings()[9].channel, 9);
    EXPECT_EQ(console.RankSettings()[14].patch2, 104);
}

TEST(ConsoleBuild, ScalesKeyboardRectanglesAndTruncates)
{
    RecordingUserMessages messages;
    CConsole console(messages, 1.5);
    console.Build();
    const Rect r = console.Division(0).keyboardRect;
    EXPECT_EQ(r.left, 397); // 265 * 1.5 = 397.5
    EXPECT_EQ(r.bottom, 555);
}

TEST(ConsoleBuild, EmptySoundFontListGetsTheOwnSoundFont)
{
    RecordingUserMessages messages;
    CConsole console(messages);
    ConsoleBuildSteps steps;
    steps.readConfiguration = [](CConsole& c) { c.Settings().soundFonts.clear(); };
    console.Build(steps);
    ASSERT_EQ(console.Settings().soundFonts.size(), 1u);
    EXPECT_EQ(console.Settings().soundFonts[0].path, "Corvinta.sf2");
    EXPECT_EQ(console.Settings().soundFonts[0].bankOffset, 25);
}

TEST(ConsoleBuild, StepsRunInOrderAndStoredCombinationsReplaceTheDefaults)
{
    RecordingUserMessages messages;
    CConsole console(messages);
    std::vector<std::string> order;
    ConsoleBuildSteps steps;
    steps.readConfiguration = [&](CConsole& c) {
        order.push_back("config");
        EXPECT_EQ(c.DivisionCount(), 0);
        c.Settings().console.useTibiaUnification = true;
        c.Settings().soundFonts.push_back({"mine.sf2", 3});
    };
    steps.resolveDevices = [&](CConsole&) { order.push_back("devices"); };
    steps.assignControls = [&](CConsole& c) {
        order.push_back("controls");
        EXPECT_EQ(c.DivisionCount(), 6);
        EXPECT_EQ(c.PistonCount(), 0);
    };
    steps.loadCombinations = [&](CConsole& c) {
        order.push_back("combinations");
        c.Piston(3).drawn[4].Set(12);
        return true;
    };
    console.Build(steps);
    EXPECT_EQ(order, (std::vector<std::string>{"config", "devices", "controls", "combinations"}));
    EXPECT_TRUE(console.Piston(3).drawn[4].Test(12));
    EXPECT_EQ(console.StopByItem(21).EffectiveRank(), kTibiaClausaRank);
    ASSERT_EQ(console.Settings().soundFonts.size(), 1u);
    EXPECT_EQ(console.Settings().soundFonts[0].path, "mine.sf2");
}

TEST(ItemSetLayout, BitNIsInWord32NOver32)
{
    ItemSet s;
    s.Set(0);
    s.Set(33);
    s.Set(84);
    s.Set(127);
    EXPECT_EQ(s.Word32(0), 1u);
    EXPECT_EQ(s.Word32(1), 2u);
    EXPECT_EQ(s.Word32(2), 1u << 20);
    EXPECT_EQ(s.Word32(3), 1u << 31);
    EXPECT_EQ(ItemSet::FromWords32(s.Word32(0), s.Word32(1), s.Word32(2), s.Word32(3)), s);
    s.Set(200); // out of range: ignored
    EXPECT_EQ(s.Count(), 4);
}

} // namespace
