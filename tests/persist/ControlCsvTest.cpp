// The control assignments: the defaults, the working copy the settings
// dialog edits, and their CSV table.

#include "TempDir.h"

#include "organ/ControlAssignments.h"
#include "persist/ControlCsv.h"
#include "platform/RecordingUserMessages.h"

#include <gtest/gtest.h>

using namespace corvinta;
using namespace corvinta::test;

namespace {

using W = ControlWorkingCopy;

std::vector<uint32_t> Items(const AssignmentMap& map, uint32_t control)
{
    const auto* items = map.ItemsFor(control);
    return items ? *items : std::vector<uint32_t>{};
}

TEST(ControlAssignments, Defaults)
{
    const ControlAssignments a = DefaultControlAssignments();
    for (const AssignmentMaps* maps : {&a.device, &a.internal}) {
        const AssignmentMap& cc = maps->controllers;
        const AssignmentMap& pc = maps->programs;
        EXPECT_EQ(Items(cc, ControlCode(kControlEntry, 81, 34)), std::vector<uint32_t>{StopItemCode(0, 34, true)});
        EXPECT_EQ(Items(cc, ControlCode(kControlEntry, 80, 94)), std::vector<uint32_t>{StopItemCode(5, 3, false)});
        EXPECT_EQ(Items(cc, ControlCode(kControlEntry, 81, 97)), std::vector<uint32_t>{TremItemCode(2, true)});
        EXPECT_EQ(Items(cc, ControlCode(kControlEntry, 11, kAnyValue)), std::vector<uint32_t>{AuxItemCode(kSwellMain)});
        EXPECT_EQ(Items(cc, ControlCode(kControlEntry, 0, kAnyValue)), std::vector<uint32_t>{AuxItemCode(kMemoryLevel)});
        EXPECT_EQ(Items(pc, ControlCode(kControlEntry, 23, 0)), std::vector<uint32_t>{PistonItemCode(0, 1)});
        EXPECT_EQ(Items(pc, ControlCode(kControlEntry, 114, 0)), std::vector<uint32_t>{PistonItemCode(22, 4)});
        EXPECT_TRUE(Items(pc, ControlCode(kControlEntry, 115, 0)).empty());
        EXPECT_EQ(Items(pc, ControlCode(kControlEntry, 119, 0)), std::vector<uint32_t>{PistonItemCode(119)});
        EXPECT_EQ(cc.ByItem().size(), 2u * 100 + 4);
        EXPECT_EQ(pc.ByItem().size(), 23u * 5 + 9);
    }
}

TEST(ControlAssignments, OneControlPerItemManyItemsPerControl)
{
    AssignmentMap map;
    const uint32_t a = ControlCode(1, 20, 5), b = ControlCode(1, 21, 5);
    map.Insert(a, StopItemCode(0, 1, true));
    map.Insert(a, StopItemCode(0, 2, true));
    map.Insert(b, StopItemCode(0, 1, true));
    EXPECT_EQ(Items(map, a), std::vector<uint32_t>{StopItemCode(0, 2, true)});
    EXPECT_EQ(Items(map, b), std::vector<uint32_t>{StopItemCode(0, 1, true)});
    map.Remove(StopItemCode(0, 2, true));
    EXPECT_EQ(map.ItemsFor(a), nullptr);
}

TEST(ControlAssignments, WorkingCopyRoundTripsThroughTheMaps)
{
    AssignmentMaps maps = DefaultControlAssignments().device;
    maps.controllers.Remove(StopItemCode(1, 0, false));
    maps.controllers.Insert(ControlCode(3, 7, kAnyValue), AuxItemCode(kCrescendo));
    maps.programs.Insert(ControlCode(4, 50, 0), PistonItemCode(10, 3));
    const W copy = W::FromMaps(maps);
    EXPECT_EQ(copy.controllers[size_t(W::OffSlot(36))], W::kUnassigned);
    EXPECT_EQ(copy.controllers[size_t(W::AuxSlot(kCrescendo))], ControlCode(3, 7, 0)) << "value byte 0 in the copy";
    EXPECT_EQ(copy.programs[size_t(W::PistonSlot(10, 3))], ControlCode(4, 50, 0));
    AssignmentMaps back;
    copy.ToMaps(back);
    EXPECT_EQ(back, maps);
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

TEST(ControlCsv, ExportLayout)
{
    W copy = W::FromMaps(DefaultControlAssignments().device);
    copy.controllers[size_t(W::OnSlot(2))] = W::kUnassigned;
    const std::vector<std::string> lines = Lines(CControlCsv::Format(copy, ';'));
    ASSERT_EQ(lines.size(), 1u + 1 + 100 + 1 + 1 + 4 + 1 + 1 + 23 + 9);
    EXPECT_EQ(lines[0], "STOP CONTROL CHANGE ASSIGNMENTS");
    EXPECT_EQ(lines[1], "Division;Stop name;ON;CC;Val;OFF;CC;Val");
    EXPECT_EQ(lines[2], "sol;16 TUBA;255;81;0;255;80;0");
    EXPECT_EQ(lines[4], "sol;16 VIOL;255;255;255;255;80;2");
    EXPECT_EQ(lines[2 + 36], "sol2;16 TUBA;255;81;36;255;80;36");
    EXPECT_EQ(lines[2 + 85], "ped;T1;255;81;85;255;80;85");
    EXPECT_EQ(lines[2 + 95], "trem;MAIN;255;81;95;255;80;95");
    EXPECT_EQ(lines[102], "EXPRESION CONTROL CHANGE ASSIGNMENTS");
    EXPECT_EQ(lines[103], "Division;Control name;ON;CC");
    EXPECT_EQ(lines[104], "misc;Swell Main;255;11");
    EXPECT_EQ(lines[107], "misc;Memory Level;255;0");
    EXPECT_EQ(lines[108], "PROGRAM CHANGE ASSIGNMENTS");
    EXPECT_EQ(lines[109], "Piston name;ON;PC +0;PC +1;PC +2;PC +3;PC +4");
    EXPECT_EQ(lines[110], "Solo: P;255;0;23;46;69;92");
    EXPECT_EQ(lines[110 + 10], "Accomp.: PP;255;10;33;56;79;102");
    EXPECT_EQ(lines[110 + 22], "Pedal: 3;255;22;45;68;91;114");
    EXPECT_EQ(lines[133], "TRM;255;119");
    EXPECT_EQ(lines[141], "MEM;255;127");
}

TEST(ControlCsv, ExportThenImportGivesTheSameAssignments)
{
    TempDir dir;
    RecordingUserMessages messages;
    W copy = W::FromMaps(DefaultControlAssignments().device);
    copy.controllers[size_t(W::OnSlot(40))] = ControlCode(2, 100, 3);
    copy.controllers[size_t(W::OffSlot(41))] = W::kUnassigned;
    copy.controllers[size_t(W::AuxSlot(1))] = W::kUnassigned;
    copy.programs[size_t(W::PistonSlot(3, 2))] = W::kUnassigned;
    copy.programs[size_t(W::SpecialSlot(4))] = ControlCode(0, 5, 0);
    ASSERT_TRUE(CControlCsv::Export(copy, dir.File("c.csv"), ',', messages));
    W read;
    ASSERT_TRUE(CControlCsv::Import(read, dir.File("c.csv"), ',', messages));
    EXPECT_EQ(read, copy);
    EXPECT_TRUE(messages.Shown().empty());
}

// Pistons and stops answering a division's channel, with unassigned
// messages among them: at the first and at a middle level of a piston, a
// whole piston, a stop's off message.
TEST(ControlCsv, ExportThenImportKeepsUnassignedLevelsOnADivisionsRouting)
{
    TempDir dir;
    RecordingUserMessages messages;
    W copy = W::FromMaps(DefaultControlAssignments().device);
    for (int p = 0; p < kPistonCount; ++p)
        for (int k = 0; k < kPistonLevelOffsets; ++k)
            copy.programs[size_t(W::PistonSlot(p, k))] = ControlCode(2, uint8_t(p + 23 * k), 0);
    copy.programs[size_t(W::PistonSlot(0, 0))] = W::kUnassigned;
    copy.programs[size_t(W::PistonSlot(1, 2))] = W::kUnassigned;
    for (int k = 0; k < kPistonLevelOffsets; ++k)
        copy.programs[size_t(W::PistonSlot(4, k))] = W::kUnassigned;
    copy.programs[size_t(W::SpecialSlot(3))] = ControlCode(5, 9, 0);
    copy.programs[size_t(W::SpecialSlot(5))] = W::kUnassigned;
    copy.controllers[size_t(W::OnSlot(10))] = ControlCode(1, 20, 3);
    copy.controllers[size_t(W::OffSlot(10))] = W::kUnassigned;
    ASSERT_TRUE(CControlCsv::Export(copy, dir.File("c.csv"), ',', messages));
    W read = W::FromMaps(DefaultControlAssignments().device);
    ASSERT_TRUE(CControlCsv::Import(read, dir.File("c.csv"), ',', messages));
    EXPECT_EQ(read, copy);
    EXPECT_EQ(read.programs[size_t(W::PistonSlot(0, 1))], ControlCode(2, 23, 0)) << "routing of the first assigned level";
    EXPECT_TRUE(messages.Shown().empty());
}

// A file holding the given sections; rows not given keep their defaults.
std::string StopSection(const std::vector<std::string>& rows)
{
    std::string text = "\"STOP CONTROL CHANGE ASSIGNMENTS\",,,,\r\nheader\r\n";
    for (int i = 0; i < 100; ++i)
        text += (i < int(rows.size()) ? rows[size_t(i)] : "d,n,255,81," + std::to_string(i) + ",255,80," + std::to_string(i)) + "\r\n";
    return text;
}

TEST(ControlCsv, ImportRules)
{
    TempDir dir;
    RecordingUserMessages messages;
    const W defaults = W::FromMaps(DefaultControlAssignments().device);

    // Matched by position; CC and Val keep 7 bits, ON keeps 8.
    WriteFile(dir.File("a.csv"), StopSection({"x,y,261,200,129,1,2,3", "sol,any name,5,6,7,3,9,"}) +
                                     "\"EXPRESION CONTROL CHANGE ASSIGNMENTS\",,\r\nh\r\nm,a,1,140\r\nm,b,2,3\r\nm,c,4,5\r\nm,d,255,7\r\n");
    W copy = defaults;
    ASSERT_TRUE(CControlCsv::Import(copy, dir.File("a.csv"), ',', messages));
    EXPECT_EQ(copy.controllers[size_t(W::OnSlot(0))], ControlCode(261 & 0xFF, 200 & 0x7F, 1));
    EXPECT_EQ(copy.controllers[size_t(W::OffSlot(0))], ControlCode(1, 2, 3));
    EXPECT_EQ(copy.controllers[size_t(W::OffSlot(1))], ControlCode(3, 9, 0)) << "the last field may be empty";
    EXPECT_EQ(copy.controllers[size_t(W::AuxSlot(0))], ControlCode(1, 140 & 0x7F, 0));
    EXPECT_EQ(copy.programs, defaults.programs);
    EXPECT_TRUE(messages.Shown().empty());

    // A spreadsheet's byte-order mark before the first title.
    WriteFile(dir.File("bom.csv"), "\xEF\xBB\xBF" + StopSection({"a,b,1,2,3,4,5,6"}));
    copy = defaults;
    ASSERT_TRUE(CControlCsv::Import(copy, dir.File("bom.csv"), ',', messages));
    EXPECT_EQ(copy.controllers[size_t(W::OnSlot(0))], ControlCode(1, 2, 3));

    // Only the program section: only pistons change.
    WriteFile(dir.File("p.csv"), "PROGRAM CHANGE ASSIGNMENTS\r\nh\r\n" + [] {
        std::string rows;
        for (int p = 0; p < 23; ++p)
            rows += "\"Solo: P\",3,1,2,3,4,5\r\n";
        for (int b = 0; b < 9; ++b)
            rows += "B,4," + std::to_string(200 + b) + "\r\n";
        return rows;
    }());
    copy = defaults;
    ASSERT_TRUE(CControlCsv::Import(copy, dir.File("p.csv"), ',', messages));
    EXPECT_EQ(copy.controllers, defaults.controllers);
    EXPECT_EQ(copy.programs[size_t(W::PistonSlot(7, 4))], ControlCode(3, 5, 0));
    EXPECT_EQ(copy.programs[size_t(W::SpecialSlot(8))], ControlCode(4, 208 & 0x7F, 0));
    EXPECT_TRUE(messages.Shown().empty());
}

TEST(ControlCsv, FaultyRowsKeepWhatCameBefore)
{
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"empty field", StopSection({"a,b,1,2,3,4,5,6", "a,,1,2,3,4,5,6"})},
        {"short row", StopSection({"a,b,1,2,3,4,5,6", "a,b,1,2,3,4,5"})},
        {"line over 254 characters", StopSection({"a,b,1,2,3,4,5,6", "a,b,1,2,3,4,5,6" + std::string(250, ' ')})},
        {"file ends inside a section", StopSection({"a,b,1,2,3,4,5,6"}).substr(0, 120)},
        {"on routing past the divisions", StopSection({"a,b,1,2,3,4,5,6", "a,b,7,2,3,4,5,6"})},
        {"off routing past the divisions", StopSection({"a,b,1,2,3,4,5,6", "a,b,1,2,3,254,5,6"})},
        {"routing of the control entry's place", StopSection({"a,b,1,2,3,4,5,6", "a,b,6,2,3,4,5,6"})},
    };
    for (const auto& [name, content] : cases) {
        SCOPED_TRACE(name);
        TempDir dir;
        WriteFile(dir.File("c.csv"), content);
        RecordingUserMessages messages;
        W copy = W::FromMaps(DefaultControlAssignments().device);
        EXPECT_TRUE(CControlCsv::Import(copy, dir.File("c.csv"), ',', messages)) << "the dialog still redraws";
        EXPECT_EQ(copy.controllers[size_t(W::OnSlot(0))], ControlCode(1, 2, 3)) << "row before the fault";
        EXPECT_EQ(copy.controllers[size_t(W::OnSlot(1))], ControlCode(kControlEntry, 81, 1));
        ASSERT_EQ(messages.Shown().size(), 1u);
        EXPECT_EQ(messages.Shown()[0].text, "Cannot import control assignments!");
        EXPECT_EQ(messages.Shown()[0].caption, "Corvinta Error");
    }
}

TEST(ControlCsv, RoutingPastTheDivisionsInTheOtherSectionsIsRefused)
{
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"continuous control", "EXPRESION CONTROL CHANGE ASSIGNMENTS\r\nh\r\nm,a,1,2\r\nm,b,200,3\r\n"},
        {"piston", "PROGRAM CHANGE ASSIGNMENTS\r\nh\r\nSolo: P,1,2,3,4,5,6\r\nSolo: MF,100,1,2,3,4,5\r\n"},
    };
    for (const auto& [name, content] : cases) {
        SCOPED_TRACE(name);
        TempDir dir;
        WriteFile(dir.File("c.csv"), content);
        RecordingUserMessages messages;
        const W defaults = W::FromMaps(DefaultControlAssignments().device);
        W copy = defaults;
        EXPECT_TRUE(CControlCsv::Import(copy, dir.File("c.csv"), ',', messages));
        ASSERT_EQ(messages.Shown().size(), 1u);
        EXPECT_EQ(messages.Shown()[0].text, "Cannot import control assignments!");
        EXPECT_EQ(copy.controllers[size_t(W::AuxSlot(1))], defaults.controllers[size_t(W::AuxSlot(1))]);
        EXPECT_EQ(copy.programs[size_t(W::PistonSlot(1, 0))], defaults.programs[size_t(W::PistonSlot(1, 0))]);
        EXPECT_NE(copy, defaults) << "the row before is kept";
    }
}

TEST(ControlCsv, FilesThatCannotBeOpened)
{
    TempDir dir;
    RecordingUserMessages messages;
    W copy;
    EXPECT_FALSE(CControlCsv::Import(copy, dir.File("none.csv"), ',', messages));
    EXPECT_FALSE(CControlCsv::Import(copy, dir.Path().string(), ',', messages)) << "a folder";
    EXPECT_EQ(copy, W{});
    EXPECT_FALSE(CControlCsv::Export(copy, dir.File("no/such.csv"), ',', messages));
    ASSERT_EQ(messages.Shown().size(), 3u);
    EXPECT_EQ(messages.Shown()[0].text, "Cannot open control assignments file!");
    EXPECT_EQ(messages.Shown()[1].text, "Cannot open control assignments file!");
    EXPECT_EQ(messages.Shown()[2].text, "Cannot save control assignments file!");
}

} // namespace
