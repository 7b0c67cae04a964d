// The headless program as an organist runs it: started, stopped with
// Ctrl+C (SIGINT) or by the system (SIGTERM), its files written on the way out.

#include "JackServer.h"
#include "organ/Console.h"
#include "persist/ConsolePersistence.h"
#include "platform/RecordingUserMessages.h"

#include <gtest/gtest.h>
#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

int RunAndStop(const fs::path& folder, int signal)
{
    const fs::path err = folder / "stderr.txt";
    fs::remove(err); // what an earlier run said
    const pid_t pid = ::fork();
    if (pid == 0) {
        fs::current_path(folder);
        std::freopen(err.c_str(), "w", stderr);
        ::setenv("JACK_DEFAULT_SERVER", "corvinta-no-such-server", 1);
        // The folder is also the organist's configuration folder, so the
        // files are written there whichever of the two the organ picks.
        ::setenv("XDG_CONFIG_HOME", folder.parent_path().c_str(), 1);
        ::execl(CORVINTA_EXE, "corvinta", "--headless", "--audio-driver", "none", static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    // Ready once it says so.
    for (int i = 0; i < 200; ++i) {
        std::ifstream in(err);
        std::string text((std::istreambuf_iterator<char>(in)), {});
        if (text.find("Corvinta is playing") != std::string::npos)
            break;
        std::this_thread::sleep_for(50ms);
    }
    ::kill(pid, signal);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string Read(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

// A configuration without the drawn stops: a first run plays the start-up
// piece, which draws stops of its own.
std::string WithoutTabState(const std::string& xml)
{
    std::string kept;
    std::istringstream in(xml);
    for (std::string line; std::getline(in, line);)
        if (line.find("<tabstate") == std::string::npos)
            kept += line + "\n";
    return kept;
}

// The files a default console writes when it closes.
void WriteDefaultFiles(const fs::path& folder)
{
    const fs::path previous = fs::current_path();
    fs::current_path(folder);
    {
        corvinta::RecordingUserMessages messages;
        corvinta::CConsole console(messages);
        corvinta::PersistedFiles files;
        corvinta::ConsoleBuildSteps steps = corvinta::PersistenceBuildSteps(files);
        steps.assignControls = [](corvinta::CConsole& c) { c.FillControlBytes(); };
        console.Build(steps);
        corvinta::SaveAtClose(console, files);
    }
    fs::current_path(previous);
}

// Waits until the file holds text; false when it has not after ten seconds.
bool WaitForText(const fs::path& file, const std::string& text)
{
    for (int i = 0; i < 200; ++i) {
        if (Read(file).find(text) != std::string::npos)
            return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

TEST(Headless, SaysOnceOnTheTerminalWhenAKeyboardIsUnpluggedAndPluggedBack)
{
    corvinta::test::JackServer jack;
    if (!jack.Ready())
        GTEST_SKIP() << corvinta::test::JackServer::SkipReason();
    RtMidiOut keyboard(RtMidi::UNIX_JACK, "Keyboard");
    keyboard.openVirtualPort("keys out");
    const fs::path base = fs::temp_directory_path() / ("corvinta-headless-devices-" + std::to_string(::getpid()));
    const fs::path folder = base / "corvinta";
    fs::remove_all(base);
    fs::create_directories(folder);
    const fs::path err = folder / "stderr.txt";
    const pid_t pid = ::fork();
    if (pid == 0) {
        fs::current_path(folder);
        std::freopen(err.c_str(), "w", stderr);
        ::setenv("XDG_CONFIG_HOME", base.c_str(), 1);
        ::execl(CORVINTA_EXE, "corvinta", "--headless", "--audio-driver", "none", "--midi-api", "jack",
                static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    EXPECT_TRUE(WaitForText(err, "Corvinta is playing (MIDI: jack, 1 input)")) << Read(err);
    keyboard.closePort();
    const std::string gone = "Corvinta: MIDI input \"Keyboard:keys out\" was disconnected; the keys it held are released.\n";
    EXPECT_TRUE(WaitForText(err, gone)) << Read(err);
    keyboard.openVirtualPort("keys out");
    EXPECT_TRUE(WaitForText(err, "Corvinta: MIDI input \"Keyboard:keys out\" is connected again.\n")) << Read(err);
    ::kill(pid, SIGINT);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::string said = Read(err);
    size_t count = 0;
    for (size_t at = said.find(gone); at != std::string::npos; at = said.find(gone, at + 1))
        ++count;
    EXPECT_EQ(count, 1u) << said;
    fs::remove_all(base);
}

TEST(Headless, StopsCleanlyOnEitherSignalAndKeepsTheSettings)
{
    for (int signal : {SIGINT, SIGTERM}) {
        const fs::path base = fs::temp_directory_path() / ("corvinta-headless-" + std::to_string(::getpid()) + "-" +
                                                           std::to_string(signal));
        const fs::path folder = base / "corvinta";
        fs::remove_all(base);
        fs::create_directories(folder);
        EXPECT_EQ(RunAndStop(folder, signal), 0) << "signal " << signal;
        EXPECT_TRUE(fs::exists(folder / "Corvinta.xml"));
        EXPECT_EQ(fs::file_size(folder / "Corvinta.cbo"), 8104u);
        // It says at start where the organist's files are kept.
        EXPECT_NE(Read(folder / "stderr.txt").find("organist's files in " + folder.string()), std::string::npos)
            << Read(folder / "stderr.txt");
        fs::remove_all(base);
    }
}

TEST(Headless, AFirstRunWritesTheDefaultsAndTheNextReadsThemBackSilently)
{
    const fs::path base = fs::temp_directory_path() / ("corvinta-headless-defaults-" + std::to_string(::getpid()));
    const fs::path run = base / "corvinta", defaults = base / "defaults";
    fs::remove_all(base);
    fs::create_directories(run);
    fs::create_directories(defaults);
    WriteDefaultFiles(defaults);

    ASSERT_EQ(RunAndStop(run, SIGTERM), 0);
    const std::string first = Read(run / "Corvinta.xml");
    EXPECT_EQ(WithoutTabState(first), WithoutTabState(Read(defaults / "Corvinta.xml")));
    EXPECT_EQ(Read(run / "Corvinta.cbo"), Read(defaults / "Corvinta.cbo"));

    // The second run reads both back without a word and writes them unchanged.
    ASSERT_EQ(RunAndStop(run, SIGTERM), 0);
    const std::string said = Read(run / "stderr.txt");
    EXPECT_EQ(said.find("Configuration"), std::string::npos) << said;
    EXPECT_EQ(said.find("ombination"), std::string::npos) << said;
    EXPECT_EQ(Read(run / "Corvinta.xml"), first);
    EXPECT_EQ(Read(run / "Corvinta.cbo"), Read(defaults / "Corvinta.cbo"));
    fs::remove_all(base);
}

// --help ends with the folder the organist's files are in, as it would be for this run.
TEST(Headless, HelpNamesTheOrganistsFolderInUse)
{
    const fs::path base = fs::temp_directory_path() / ("corvinta-help-" + std::to_string(::getpid()));
    const fs::path portable = base / "portable", empty = base / "empty", configHome = base / "config";
    fs::remove_all(base);
    fs::create_directories(portable);
    fs::create_directories(empty);
    std::ofstream(portable / "Corvinta.cbo") << "x";
    const struct {
        fs::path folder;
        fs::path inUse;
    } cases[] = {{portable, portable}, {empty, configHome / "corvinta"}};
    for (const auto& c : cases) {
        const std::string command = "cd '" + c.folder.string() + "' && XDG_CONFIG_HOME='" + configHome.string() +
                                    "' '" CORVINTA_EXE "' --help";
        std::string out;
        if (FILE* pipe = ::popen(command.c_str(), "r")) {
            char buffer[4096];
            for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
                out.append(buffer, n);
            EXPECT_EQ(::pclose(pipe), 0);
        }
        EXPECT_NE(out.find("In use now: " + c.inUse.string() + "\n"), std::string::npos) << out;
    }
    EXPECT_FALSE(fs::exists(configHome)); // --help makes nothing
    fs::remove_all(base);
}

// Without --headless the organ wants its window; with no display to put it
// on, it says so in one line, with the way to play without one.
TEST(Headless, WithoutADisplayTheWindowModeSaysHowToPlayHeadless)
{
#ifndef CORVINTA_WITH_WINDOW
    GTEST_SKIP() << "built without the window: the program plays headless until it is stopped";
#endif
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" CORVINTA_EXE "' 2>&1";
    std::string out;
    int status = -1;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, n);
        status = ::pclose(pipe);
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    EXPECT_NE(out.find("--headless"), std::string::npos) << out;
}

} // namespace
