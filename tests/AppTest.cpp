// The command line, and the whole organ started and closed headless.

#include "app/CommandLine.h"
#include "app/CorvintaApp.h"
#include "platform/RecordingUserMessages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <unistd.h>

using namespace corvinta;
namespace fs = std::filesystem;

namespace {

TEST(CommandLine, ParametersAreTakenInOrderAndLowerCased)
{
    struct Case {
        std::vector<std::string> args;
        std::string config, combo;
        int width, height;
    } cases[] = {
        {{"xml", "myconfig"}, "myconfig.xml", "", 0, 0},
        {{"SETTINGS", "Organ.XML"}, "Organ.XML", "", 0, 0},
        {{"stg", "a.xml", "memory", "b"}, "a.xml", "b.cbo", 0, 0},
        {{"CBO", "c.cbo", "res", "1280", "720"}, "", "c.cbo", 1280, 720},
    };
    for (const Case& c : cases) {
        const CCommandLineInfoEx info = ParseCommandLine(c.args);
        EXPECT_TRUE(info.errors.empty());
        EXPECT_EQ(info.configFile, c.config);
        EXPECT_EQ(info.comboFile, c.combo);
        EXPECT_EQ(info.width, c.width);
        EXPECT_EQ(info.height, c.height);
    }
    const CCommandLineInfoEx options =
        ParseCommandLine({"--headless", "--audio-driver", "none", "--midi-api", "jack", "--midi-log", "log.txt"});
    EXPECT_TRUE(options.headless);
    EXPECT_EQ(options.audioDriver, "none");
    EXPECT_EQ(options.midiApi, "jack");
    EXPECT_EQ(options.midiLog, "log.txt");
    EXPECT_FALSE(ParseCommandLine({"--midi-api", "winmm"}).errors.empty());
    EXPECT_FALSE(ParseCommandLine({"--midi-log"}).errors.empty());
    EXPECT_FALSE(ParseCommandLine({"bogus"}).errors.empty());
}

// Runs each test in a folder of its own: the organ's files are named
// relative to the current folder.
struct InFolder : ::testing::Test {
    fs::path previous = fs::current_path();
    fs::path folder;
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("corvinta-app-" + std::to_string(::getpid()) + "-" +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        fs::current_path(folder);
        ::setenv("JACK_DEFAULT_SERVER", "corvinta-no-such-server", 1);
    }
    void TearDown() override
    {
        fs::current_path(previous);
        fs::remove_all(folder);
    }
    static CCommandLineInfoEx Options(std::vector<std::string> extra = {})
    {
        std::vector<std::string> args{"--audio-driver", "none"};
        args.insert(args.end(), extra.begin(), extra.end());
        return ParseCommandLine(args);
    }
};

TEST_F(InFolder, AFirstRunStartsPlaysAndWritesBothFilesOnClose)
{
    RecordingUserMessages messages;
    {
        CCorvintaApp app(Options(), messages);
        ASSERT_EQ(app.Start(), 0);
        EXPECT_TRUE(app.Files().noConfigurationFound);
        app.ConsoleReady();
        app.Console().OnCommand(StopTabCommand(7), 1);
        app.Close();
    }
    EXPECT_TRUE(fs::exists("Corvinta.xml"));
    EXPECT_TRUE(fs::exists("Corvinta.cbo"));
    EXPECT_EQ(fs::file_size("Corvinta.cbo"), 8104u);

    // The next start reads them back: the Tibia is still drawn.
    RecordingUserMessages again;
    CCorvintaApp app(Options(), again);
    ASSERT_EQ(app.Start(), 0);
    EXPECT_FALSE(app.Files().noConfigurationFound);
    EXPECT_TRUE(app.Console().registration.Test(7));
}

TEST_F(InFolder, BaseCampIsNeverWrittenOver)
{
    RecordingUserMessages messages;
    messages.Answer(MessageAnswer::Yes);
    {
        CCorvintaApp app(Options({"xml", "BaseCamp"}), messages);
        ASSERT_EQ(app.Start(), 0);
        app.Close();
    }
    const auto shown = messages.Shown();
    EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](const UserMessage& m) {
        return m.text == "Do you want to restore base camp configuration?\nPrevious Corvinta Settings will be lost.";
    }));
    EXPECT_FALSE(fs::exists("BaseCamp.xml"));
    EXPECT_TRUE(fs::exists("Corvinta.xml"));
}

} // namespace
