// A whole run: the console starts from nothing, changes, closes, and the
// next start finds everything as it was left.

#include "TempDir.h"

#include "persist/ConfigFile.h"
#include "persist/ConsolePersistence.h"
#include "platform/RecordingUserMessages.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace corvinta;
using namespace corvinta::test;

namespace {

TEST(ConsolePersistence, WhatOneRunLeavesTheNextFinds)
{
    TempDir dir;
    PersistedFiles files;
    files.configFileName = dir.File("Corvinta.xml");
    files.comboFileName = dir.File("Corvinta.cbo");
    {
        RecordingUserMessages messages;
        CConsole console(messages);
        console.inputDevicesPresent = {"Keys"};
        console.Build(PersistenceBuildSteps(files));
        EXPECT_TRUE(files.noConfigurationFound);
        EXPECT_FALSE(files.quitRequested);
        ASSERT_EQ(messages.Shown().size(), 2u) << "no configuration, no combinations";
        EXPECT_EQ(console.registration, ItemSet::FromRanges({{84, 84}})) << "the Pedal Traps coupler drawn";
        EXPECT_TRUE(CConfigFile::Format(console, 511).find("<tabstate id=\"1\">1048576</tabstate>") != std::string::npos);
        console.Settings().console.pizzicatoLength = 300;
        console.Settings().divisions[0].deviceId = 0;
        console.Piston(5).drawn[2] = ItemSet::FromRanges({{1, 3}});
        console.assignments.device.programs.Insert(ControlCode(0, 7, 0), PistonItemCode(5));
        EXPECT_TRUE(SaveAtClose(console, files));
    }
    RecordingUserMessages messages;
    CConsole console(messages);
    console.inputDevicesPresent = {"Other", "Keys"};
    console.Build(PersistenceBuildSteps(files));
    EXPECT_FALSE(files.noConfigurationFound);
    EXPECT_TRUE(messages.Shown().empty());
    EXPECT_EQ(console.Settings().console.pizzicatoLength, 300);
    EXPECT_EQ(console.Settings().divisions[0].deviceId, 1) << "found by name where it is now";
    EXPECT_EQ(console.inputDevicesInUse, std::vector<uint16_t>{1});
    EXPECT_EQ(console.Piston(5).drawn[2], ItemSet::FromRanges({{1, 3}}));
    EXPECT_EQ(console.assignments.device.programs.ControlFor(PistonItemCode(5)), ControlCode(0, 7, 0));
}

// One run over files that do not load: what the organist had is kept beside
// the new file, the latest three such copies at most.
TEST(ConsolePersistence, FilesThatDidNotLoadAreKeptBeforeTheyAreWrittenOver)
{
    struct Case {
        const char* name;
        bool configuration; // else the combination file
        std::string content;
    };
    const std::vector<Case> cases = {
        {"a stray byte", true, "<settings>\x01</settings>"},
        {"an unknown element at the top", true, "<settings><colours/></settings>"},
        {"cut off half way", true, "<settings><console><memlevel>3</mem"},
        {"too big", true, std::string(50001, ' ')},
        {"combinations cut short", false, std::string("\x64\x03\0\0CMBO1234", 12)},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        TempDir dir;
        PersistedFiles files;
        files.configFileName = dir.File("Corvinta.xml");
        files.comboFileName = dir.File("Corvinta.cbo");
        const std::string& damaged = test.configuration ? files.configFileName : files.comboFileName;
        WriteFile(damaged, test.content);
        // Earlier copies, the oldest of which goes.
        WriteFile(damaged + ".bad", "first");
        WriteFile(damaged + ".bad.1", "second");
        WriteFile(damaged + ".bad.2", "third");

        RecordingUserMessages messages;
        CConsole console(messages);
        console.Build(PersistenceBuildSteps(files));
        bool said = false;
        for (const UserMessage& m : messages.Shown())
            said = said || m.text.find("kept as '" + damaged + ".bad'") != std::string::npos;
        EXPECT_TRUE(said);
        EXPECT_EQ(ReadFile(damaged), test.content) << "nothing written while it runs";

        EXPECT_TRUE(SaveAtClose(console, files));
        EXPECT_TRUE(SaveAtClose(console, files)) << "a second save keeps nothing more";
        EXPECT_EQ(ReadFile(damaged + ".bad"), test.content);
        EXPECT_EQ(ReadFile(damaged + ".bad.1"), "first");
        EXPECT_EQ(ReadFile(damaged + ".bad.2"), "second");
        EXPECT_FALSE(std::filesystem::exists(damaged + ".bad.3"));
        EXPECT_NE(ReadFile(damaged), test.content);
        const std::string other = test.configuration ? files.comboFileName : files.configFileName;
        EXPECT_FALSE(std::filesystem::exists(other + ".bad")) << "a missing file is no damaged one";
    }
}

} // namespace
