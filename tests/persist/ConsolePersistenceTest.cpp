// A whole run: the console starts from nothing, changes, closes, and the
// next start finds everything as it was left.

#include "TempDir.h"

#include "persist/ConsolePersistence.h"
#include "platform/RecordingUserMessages.h"

#include <gtest/gtest.h>

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

} // namespace
