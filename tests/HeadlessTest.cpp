// The headless program as an organist runs it: started, stopped with
// Ctrl+C (SIGINT) or by the system (SIGTERM), its files written on the way out.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

int RunAndStop(const fs::path& folder, int signal)
{
    const fs::path err = folder / "stderr.txt";
    const pid_t pid = ::fork();
    if (pid == 0) {
        fs::current_path(folder);
        std::freopen(err.c_str(), "w", stderr);
        ::setenv("JACK_DEFAULT_SERVER", "corvinta-no-such-server", 1);
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

TEST(Headless, StopsCleanlyOnEitherSignalAndKeepsTheSettings)
{
    for (int signal : {SIGINT, SIGTERM}) {
        const fs::path folder = fs::temp_directory_path() / ("corvinta-headless-" + std::to_string(::getpid()) + "-" +
                                                             std::to_string(signal));
        fs::remove_all(folder);
        fs::create_directories(folder);
        EXPECT_EQ(RunAndStop(folder, signal), 0) << "signal " << signal;
        EXPECT_TRUE(fs::exists(folder / "Corvinta.xml"));
        EXPECT_EQ(fs::file_size(folder / "Corvinta.cbo"), 8104u);
        fs::remove_all(folder);
    }
}

} // namespace
