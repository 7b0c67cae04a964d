// One memory level as a spreadsheet table: its layout, the round trip, and
// the files the import refuses without touching the pistons.

#include "TempDir.h"

#include "organ/Console.h"
#include "persist/ComboCsv.h"
#include "persist/CsvText.h"
#include "platform/RecordingUserMessages.h"

#include <gtest/gtest.h>

#include <clocale>
#include <locale.h>
#include <random>
#include <cstdlib>

using namespace corvinta;
using namespace corvinta::test;

namespace {

struct Organ {
    RecordingUserMessages messages;
    CConsole console{messages};
    Organ(int level = 3)
    {
        console.Build();
        console.Settings().console.memLevel = uint8_t(level);
    }
};

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

TEST(ComboCsv, ExportLayout)
{
    Organ organ(3);
    for (int other = 2; other < kPistonCount; ++other)
        organ.console.Piston(other).scope[3] = organ.console.Piston(other).drawn[3] = {};
    CPiston& p = organ.console.Piston(0);
    p.scope[3] = ItemSet::FromRanges({{0, 1}, {95, 95}});
    p.drawn[3] = ItemSet::FromRanges({{0, 0}, {2, 2}, {95, 95}});
    organ.console.Piston(1).scope[3] = {};
    organ.console.Piston(1).drawn[3] = ItemSet::FromRanges({{1, 1}});
    const std::vector<std::string> lines = Lines(CComboCsv::Format(organ.console, 3, ','));

    EXPECT_EQ(lines[0], ",3,\"Combinaton Level\",SOLO,,,,,,,,,,ACCOMPANIMENT,,,,,,,,,,PEDAL");
    EXPECT_EQ(lines[1], ",,\"Solo\",P,MF,F,FF,FFF,1,2,3,4,5,PP,P,MF,F,FF,1,2,3,4,5,1,2,3");
    EXPECT_EQ(lines[2], "0,0,\"16 TUBA\",X" + std::string(22, ','));
    EXPECT_EQ(lines[3], "1,1,\"16 BOUR\",O,R" + std::string(21, ','));
    EXPECT_EQ(lines[4], "2,2,\"16 VIOL\"" + std::string(23, ','));
    const auto row = [&](const std::string& start) {
        for (const std::string& line : lines)
            if (line.starts_with(start))
                return line;
        return std::string();
    };
    EXPECT_EQ(row("34,"), "34,34,\"UNISN OFF\"" + std::string(23, ','));
    EXPECT_EQ(row("84,"), "84,11,\"PED TRAPS\"" + std::string(23, ','));
    for (int effect = 85; effect <= 90; ++effect)
        EXPECT_EQ(row(std::to_string(effect) + ","), "") << "effects are left out";
    EXPECT_EQ(row(",,Tremulants"), ",,Tremulants,P,MF,F,FF,FFF,1,2,3,4,5,PP,P,MF,F,FF,1,2,3,4,5,1,2,3");
    EXPECT_EQ(row("95,"), "95,0,\"MAIN\",X" + std::string(22, ','));
    EXPECT_EQ(row("99,"), "99,4,\"TIBIA\"" + std::string(23, ','));
    EXPECT_EQ(lines.back(), "END OF COMBINATIONS");
    EXPECT_EQ(lines.size(), 1u + 6 + (95 - 6) + 1 + 5 + 1);
}

TEST(ComboCsv, LevelSurvivesExportAndImport)
{
    TempDir dir;
    Organ organ(4);
    std::mt19937 random(9);
    for (int p = 0; p < kPistonCount; ++p) {
        CPiston& piston = organ.console.Piston(p);
        ItemSet drawn, scope;
        for (int item = 0; item < 100; ++item) {
            drawn.Set(item, random() & 1);
            scope.Set(item, p % 5 != 0 && (random() & 1));
        }
        piston.drawn[4] = drawn;
        piston.scope[4] = scope;
    }
    std::vector<CPiston> before;
    for (int p = 0; p < kPistonCount; ++p)
        before.push_back(organ.console.Piston(p));
    ASSERT_TRUE(CComboCsv::Export(organ.console, dir.File("l.csv"), ';'));

    // Into another level: the level named in the file is not used.
    organ.console.Settings().console.memLevel = 6;
    ASSERT_TRUE(CComboCsv::Import(organ.console, dir.File("l.csv"), ';'));
    for (int p = 0; p < kPistonCount; ++p) {
        const CPiston& now = organ.console.Piston(p);
        const CPiston& was = before[size_t(p)];
        // The effects have no rows: they sound while held and are never stored.
        const ItemSet effects = ItemSet::FromRanges({{85, 90}});
        EXPECT_EQ(now.scope[6], was.scope[4] & ~effects) << p;
        const ItemSet expected = was.scope[4].Empty() ? was.drawn[4] : (was.drawn[4] & was.scope[4]);
        EXPECT_EQ(now.drawn[6], expected & ~effects) << p;
        EXPECT_EQ(now.drawn[4], was.drawn[4]) << "other levels untouched";
    }
    EXPECT_TRUE(organ.messages.Shown().empty());
}

// An import file built from rows; the level line and end line are added.
std::string Table(const std::vector<std::string>& rows, const std::string& level = "0", bool end = true)
{
    std::string text = "," + level + ",\"Combinaton Level\",SOLO\r\n,,\"Solo\",P,MF\r\n";
    for (const std::string& row : rows)
        text += row + "\r\n";
    return text + (end ? "end of combinations\r\n" : "");
}

TEST(ComboCsv, ImportReadsRowsAsWritten)
{
    TempDir dir;
    Organ organ(0);
    // Lower case, "," rows on a system whose separator is ";", rows out of
    // order, short rows, extra cells, and an item without a row.
    WriteFile(dir.File("t.csv"), Table({"5;5;\"x\";r;o", "1,1,\"y\",x", "2,2,z" + std::string(24, ',') + "X,X"}));
    ASSERT_TRUE(CComboCsv::Import(organ.console, dir.File("t.csv"), ';'));
    // Where the separator is ",", a ";" row is not a row of cells.
    EXPECT_FALSE(CComboCsv::Import(organ.console, dir.File("t.csv"), ','));
    CPiston& p0 = organ.console.Piston(0);
    CPiston& p1 = organ.console.Piston(1);
    EXPECT_EQ(p0.drawn[0], ItemSet::FromRanges({{1, 1}, {5, 5}}));
    EXPECT_EQ(p0.scope[0], ItemSet::FromRanges({{1, 1}}));
    EXPECT_TRUE(p1.drawn[0].Empty());
    EXPECT_EQ(p1.scope[0], ItemSet::FromRanges({{5, 5}}));
    EXPECT_TRUE(organ.console.Piston(2).drawn[0].Empty());
    EXPECT_TRUE(organ.console.Piston(22).drawn[0].Empty()) << "extra cells are ignored";
    EXPECT_TRUE(organ.console.Piston(5).scope[0].Empty());
}

TEST(ComboCsv, ImportFailuresChangeNothing)
{
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"line over 254 characters", Table({"1,1,x," + std::string(260, 'X')})},
        {"unknown cell letter", Table({"1,1,x,X,Z"})},
        {"missing end line", Table({"1,1,x,X"}, "0", false)},
        {"level line without a number", Table({"1,1,x,X"}, "")},
        {"level 100", Table({"1,1,x,X"}, "100")},
        {"item number 100", Table({"100,1,x,X"})},
        {"negative item number", Table({"-1,1,x,X"})},
        {"empty file", ""},
    };
    for (const auto& [name, content] : cases) {
        SCOPED_TRACE(name);
        TempDir dir;
        WriteFile(dir.File("t.csv"), content);
        Organ organ(2);
        const auto before = organ.console.Piston(0).drawn;
        EXPECT_FALSE(CComboCsv::Import(organ.console, dir.File("t.csv"), ','));
        EXPECT_EQ(organ.console.Piston(0).drawn, before);
        ASSERT_EQ(organ.messages.Shown().size(), 1u);
        EXPECT_EQ(organ.messages.Shown()[0].text, "Cannot import combination file!");
        EXPECT_EQ(organ.messages.Shown()[0].caption, "Corvinta Error");
    }
    // 254 characters are still a line.
    TempDir dir;
    const std::string row = "1,1,x,X";
    WriteFile(dir.File("t.csv"), Table({row + "," + std::string(254 - row.size() - 1, ',')}, "99"));
    Organ organ;
    EXPECT_TRUE(CComboCsv::Import(organ.console, dir.File("t.csv"), ','));
}

TEST(ComboCsv, FilesThatCannotBeOpened)
{
    TempDir dir;
    Organ organ;
    EXPECT_FALSE(CComboCsv::Import(organ.console, dir.File("none.csv"), ','));
    EXPECT_FALSE(CComboCsv::Export(organ.console, dir.File("no/such.csv"), ','));
    ASSERT_EQ(organ.messages.Shown().size(), 2u);
    EXPECT_EQ(organ.messages.Shown()[0].text, "Cannot open combination file for import!");
    EXPECT_EQ(organ.messages.Shown()[1].text, "Cannot export combination file!");
}

TEST(ComboCsv, LevelWithoutMemoryIsRefused)
{
    // Memory levels up to 99 pass validation, but pistons keep only 0..10.
    TempDir dir;
    Organ organ(12);
    WriteFile(dir.File("t.csv"), Table({"1,1,x,X"}));
    EXPECT_FALSE(CComboCsv::Export(organ.console, dir.File("out.csv"), ','));
    EXPECT_FALSE(CComboCsv::Import(organ.console, dir.File("t.csv"), ','));
    ASSERT_EQ(organ.messages.Shown().size(), 2u);
    EXPECT_EQ(organ.messages.Shown()[0].text, "Cannot export combination file!");
    EXPECT_EQ(organ.messages.Shown()[1].text, "Cannot import combination file!");
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.csv")));
}

TEST(ListSeparator, FollowsTheDecimalSeparatorOfTheUserLocale)
{
    const char* saved = std::getenv("LC_ALL");
    const std::string previous = saved ? saved : "";
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(UserListSeparator(), ',');
    // Only where the machine has a locale with a decimal comma.
    if (locale_t german = newlocale(LC_NUMERIC_MASK, "de_DE.UTF-8", static_cast<locale_t>(nullptr))) {
        freelocale(german);
        setenv("LC_ALL", "de_DE.UTF-8", 1);
        EXPECT_EQ(UserListSeparator(), ';');
    }
    if (saved)
        setenv("LC_ALL", previous.c_str(), 1);
    else
        unsetenv("LC_ALL");
}

} // namespace
