// The combination file: byte-exact round trips, the conversion of old
// versions, and that a file that fails half way is never half used.

#include "FailingWrites.h"
#include "TempDir.h"
#include "WithoutPermissionOverride.h"

#include "organ/Console.h"
#include "persist/ComboFile.h"
#include "platform/RecordingUserMessages.h"

#include <gtest/gtest.h>

#include <random>

using namespace corvinta;
using namespace corvinta::test;

namespace {

struct Organ {
    RecordingUserMessages messages;
    CConsole console{messages};
    Organ() { console.Build(); }
};

void PutLe(std::string& out, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>(v >> (8 * i));
}

// A header and `levels` × 23 records of random words, with `edit` able to
// set words: edit(level, piston, wordIndex 0..3 in file order).
std::string ComboBytes(uint32_t version, int levels, unsigned seed,
                       std::function<uint64_t(int, int, int, uint64_t)> edit = {})
{
    std::mt19937_64 random(seed);
    std::string bytes;
    PutLe(bytes, version, 4);
    PutLe(bytes, CComboFile::kMagic, 4);
    for (int level = 0; level < levels; ++level)
        for (int p = 0; p < kPistonCount; ++p)
            for (int w = 0; w < 4; ++w) {
                uint64_t word = random();
                if (edit)
                    word = edit(level, p, w, word);
                PutLe(bytes, word, 8);
            }
    return bytes;
}

void ExpectDefaultMemory(CConsole& console)
{
    for (int p = 0; p < kPistonCount; ++p) {
        CPiston expected;
        expected.SetDefaultMemory(p);
        EXPECT_EQ(console.Piston(p).drawn, expected.drawn) << "piston " << p;
        EXPECT_EQ(console.Piston(p).scope, expected.scope) << "piston " << p;
    }
}

void Scramble(CConsole& console)
{
    for (int p = 0; p < kPistonCount; ++p)
        for (int level = 0; level < kMemoryLevelCount; ++level)
            console.Piston(p).drawn[size_t(level)] = ItemSet::FromWords32(uint32_t(p), 1, 2, uint32_t(level));
}

TEST(ComboFile, Version868SurvivesLoadAndSaveByteForByte)
{
    TempDir dir;
    const std::string bytes = ComboBytes(868, 11, 1);
    ASSERT_EQ(bytes.size(), 8104u);
    WriteFile(dir.File("in.cbo"), bytes);
    Organ organ;
    EXPECT_EQ(CComboFile::Load(organ.console, dir.File("in.cbo"), "Corvinta.xml"), ComboLoadOutcome::FromFile);
    EXPECT_TRUE(organ.messages.Shown().empty());
    ASSERT_TRUE(CComboFile::Save(organ.console, dir.File("out.cbo")));
    EXPECT_EQ(ReadFile(dir.File("out.cbo")), bytes);
}

TEST(ComboFile, UnusableFilesGiveTheDefaultsAndOneMessage)
{
    const std::string good = ComboBytes(868, 11, 2);
    std::string wrongMagic = good;
    wrongMagic[4] = 'X';
    std::string wrongVersion = good;
    wrongVersion[0] = 1;
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"ends inside the records", good.substr(0, good.size() - 1)},
        {"header only", good.substr(0, 8)},
        {"empty", ""},
        {"wrong magic", wrongMagic},
        {"unknown version", wrongVersion},
        {"old version cut short", ComboBytes(867, 10, 3).substr(0, 5000)},
        {"missing", "-"},
        {"a folder", "/"},
    };
    for (const auto& [name, content] : cases) {
        SCOPED_TRACE(name);
        TempDir dir;
        const std::string path = dir.File("c.cbo");
        const bool present = content != "-" && content != "/";
        if (content == "/")
            std::filesystem::create_directory(path);
        else if (present)
            WriteFile(path, content);
        Organ organ;
        Scramble(organ.console);
        EXPECT_EQ(CComboFile::Load(organ.console, path, "Corvinta.xml"),
                  present ? ComboLoadOutcome::DefaultsOverUnusableFile : ComboLoadOutcome::Defaults);
        ExpectDefaultMemory(organ.console);
        ASSERT_EQ(organ.messages.Shown().size(), 1u);
        std::string text = "Using default combinations. Did not find " + path;
        if (present)
            text += "\nThe file is kept as '" + path + ".bad' before the combinations are saved over it.";
        EXPECT_EQ(organ.messages.Shown()[0].text, text);
        EXPECT_EQ(organ.messages.Shown()[0].caption, "Corvinta Initialization");
    }
}

TEST(ComboFile, OldItemNumbersAreConverted)
{
    struct Move {
        int oldItem;
        int newItem; // -1: dropped
    };
    const Move moves[] = {{0, 0},   {2, 2},   {3, 4},   {18, 19}, {19, 21}, {22, 24}, {23, 26}, {24, 25},
                          {25, 27}, {26, 29}, {51, 54}, {52, 56}, {53, 55}, {54, 57}, {80, 83}, {81, -1},
                          {86, -1}, {87, 91}, {95, 99}, {96, -1}, {127, -1}};
    for (const Move& move : moves) {
        ItemSet old;
        old.Set(move.oldItem);
        ItemSet expected;
        if (move.newItem >= 0)
            expected.Set(move.newItem);
        EXPECT_EQ(CComboFile::ConvertOldItems(old), expected) << "old item " << move.oldItem;
    }
    const ItemSet all = CComboFile::ConvertOldItems(kAllItems);
    for (int never : {3, 20, 28, 84, 85, 90, 100, 127})
        EXPECT_FALSE(all.Test(never)) << never;
}

TEST(ComboFile, Version867FillsTenLevelsAndTheBaseCampStages)
{
    TempDir dir;
    // Piston 4, level 2: old items 52 and 53 drawn (word 0), scope old item 87 (word 1 of scope).
    const std::string bytes = ComboBytes(867, 10, 4, [](int level, int p, int w, uint64_t word) {
        if (level != 2 || p != 4)
            return word;
        return w == 0 ? (uint64_t(1) << 52 | uint64_t(1) << 53) : w == 3 ? uint64_t(1) << (87 - 64) : 0;
    });
    WriteFile(dir.File("old.cbo"), bytes);
    Organ organ;
    EXPECT_EQ(CComboFile::Load(organ.console, dir.File("old.cbo"), "Corvinta.xml"), ComboLoadOutcome::FromFile);
    const CPiston& piston = organ.console.Piston(4);
    EXPECT_EQ(piston.drawn[2], ItemSet::FromRanges({{55, 56}}));
    EXPECT_EQ(piston.scope[2], ItemSet::FromRanges({{91, 91}}));
    CPiston defaults;
    defaults.SetDefaultMemory(4);
    EXPECT_EQ(piston.drawn[kCrescendoLevel], defaults.drawn[kCrescendoLevel]);
    EXPECT_EQ(piston.scope[kCrescendoLevel], kAllItems);
    EXPECT_EQ(ReadFile(dir.File("old.cbo.v867")), bytes) << "the original kept before conversion";
}

TEST(ComboFile, Version600AsksFirstAndReadsOnlyTenLevels)
{
    TempDir dir;
    // Level 10 of the old file would put item 0 in every piston; it must not be read.
    const std::string bytes = ComboBytes(600, 100, 5, [](int level, int, int, uint64_t word) {
        return level < 10 ? 0 : word | 1;
    });
    WriteFile(dir.File("old.cbo"), bytes);

    Organ refused;
    Scramble(refused.console);
    const auto before = refused.console.Piston(0).drawn;
    refused.messages.Answer(MessageAnswer::No);
    EXPECT_EQ(CComboFile::Load(refused.console, dir.File("old.cbo"), "Corvinta.xml"), ComboLoadOutcome::Quit);
    EXPECT_EQ(refused.console.Piston(0).drawn, before);
    ASSERT_EQ(refused.messages.Shown().size(), 1u);
    EXPECT_EQ(refused.messages.Shown()[0].text, "Old .cbo file with 100 memory levels. Only first 10 will be read.\n"
                                                "Remaining combinations will be lost.\nDo you want to continue?");
    EXPECT_EQ(refused.messages.Shown()[0].caption, "Corvinta Combination Initialization");

    EXPECT_FALSE(std::filesystem::exists(dir.File("old.cbo.v600")));

    Organ unattended;
    EXPECT_EQ(CComboFile::Load(unattended.console, dir.File("old.cbo"), "Corvinta.xml"), ComboLoadOutcome::Quit)
        << "nobody to answer: the file stays as it is";
    EXPECT_EQ(unattended.messages.Shown()[0].unattendedAnswer, MessageAnswer::No);

    Organ accepted;
    accepted.messages.Answer(MessageAnswer::Yes);
    EXPECT_EQ(CComboFile::Load(accepted.console, dir.File("old.cbo"), "Corvinta.xml"), ComboLoadOutcome::FromFile);
    for (int level = 0; level < 10; ++level)
        EXPECT_TRUE(accepted.console.Piston(7).drawn[size_t(level)].Empty()) << level;
    EXPECT_EQ(ReadFile(dir.File("old.cbo.v600")), bytes) << "the original kept before conversion";
}

TEST(ComboFile, OldFileIsNotConvertedWhenItsOriginalCannotBeKept)
{
    for (const uint32_t version : {600u, 867u}) {
        SCOPED_TRACE(version);
        TempDir dir;
        const std::filesystem::path folder = dir.Path() / "locked";
        std::filesystem::create_directory(folder);
        const std::string path = (folder / "old.cbo").string();
        WriteFile(path, ComboBytes(version, version == 600 ? 100 : 10, 8));
        std::filesystem::permissions(folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        Organ organ;
        organ.messages.Answer(MessageAnswer::Yes);
        {
            WithoutPermissionOverride asOrganist;
            EXPECT_EQ(CComboFile::Load(organ.console, path, "Corvinta.xml"), ComboLoadOutcome::Quit);
        }
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
        ASSERT_FALSE(organ.messages.Shown().empty());
        EXPECT_EQ(organ.messages.Shown().back().text,
                  "Cannot keep the old combination file as '" + path + ".v" + std::to_string(version) +
                      "'.\nNothing was converted.");
    }
}

TEST(ComboFile, BaseCampConfigurationOffersTheBuiltInMemory)
{
    TempDir dir;
    WriteFile(dir.File("c.cbo"), ComboBytes(868, 11, 6));
    Organ yes;
    yes.messages.Answer(MessageAnswer::Yes);
    EXPECT_EQ(CComboFile::Load(yes.console, dir.File("c.cbo"), "BaseCamp.xml"), ComboLoadOutcome::Defaults);
    ExpectDefaultMemory(yes.console);
    EXPECT_EQ(yes.messages.Shown()[0].text,
              "Do you want to restore base camp combinations?\nPrevious default combinations will be lost.");

    Organ no;
    no.messages.Answer(MessageAnswer::No);
    EXPECT_EQ(CComboFile::Load(no.console, dir.File("c.cbo"), "BaseCamp.xml"), ComboLoadOutcome::FromFile);
}

TEST(ComboFile, DefaultsKeepItem84OutOfTheUserLevels)
{
    Organ organ;
    for (int p = 0; p < kPistonCount; ++p)
        for (int level = 1; level < 10; ++level) {
            EXPECT_FALSE(organ.console.Piston(p).scope[size_t(level)].Test(84));
            EXPECT_EQ(organ.console.Piston(p).scope[size_t(level)].Count(), 99);
        }
}

TEST(ComboFile, FailedSaveKeepsThePreviousFileAndSaysSo)
{
    TempDir dir;
    const std::string path = dir.File("c.cbo");
    const std::string previous = ComboBytes(868, 11, 7);
    WriteFile(path, previous);
    Organ organ;
    {
        FailingWrites full;
        EXPECT_FALSE(CComboFile::Save(organ.console, path));
    }
    EXPECT_EQ(ReadFile(path), previous);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
    EXPECT_FALSE(CComboFile::Save(organ.console, dir.File("missing/c.cbo")));
    ASSERT_EQ(organ.messages.Shown().size(), 2u);
    EXPECT_EQ(organ.messages.Shown()[0].text, "Cannot create combination file!\nYour combinations will not be saved.");
    EXPECT_EQ(organ.messages.Shown()[0].caption, "Corvinta Error");
}

} // namespace
