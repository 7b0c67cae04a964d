// `cmake --install` into a scratch prefix, the tree then moved as a whole:
// the installed program still finds its sound font, its start-up piece and
// its skin library from another working folder, through its own location.

#include "platform/RecordingUserMessages.h"
#ifdef CORVINTA_WITH_SKIN
#include "skin/SkinLibrary.h"
#endif

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

int RunIn(const fs::path& folder, const fs::path& err, const std::vector<std::string>& args)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        fs::current_path(folder);
        std::freopen(err.c_str(), "w", stderr);
        ::unsetenv("CORVINTA_DATA_DIR");
        // FluidSynth's OpenMP pool is out of ThreadSanitizer's sight; one thread keeps it on the renderer's.
        ::setenv("OMP_NUM_THREADS", "1", 1);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        std::_Exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(InstalledLayout, AMovedInstallFindsItsDataFromAnotherWorkingFolder)
{
    std::string pattern = (fs::temp_directory_path() / "corvinta-install-XXXXXX").string();
    const fs::path root = ::mkdtemp(pattern.data());
    const fs::path staged = root / "staged", moved = root / "elsewhere" / "corvinta-tree";
    const std::string install = std::string("\"") + CMAKE_COMMAND + "\" --install \"" + BUILD_DIR + "\" --prefix \"" +
                                staged.string() + "\" > \"" + (root / "install.log").string() + "\" 2>&1";
    ASSERT_EQ(std::system(install.c_str()), 0) << Read(root / "install.log");
    fs::create_directories(moved.parent_path());
    fs::rename(staged, moved);

    std::istringstream expected(INSTALLED_FILES);
    for (std::string file; std::getline(expected, file, '|');)
        EXPECT_TRUE(fs::is_regular_file(moved / file)) << file;

    // The start-up piece, rendered with the installed sound font; the render
    // writes nothing but its WAV file and makes no configuration folder.
    const fs::path work = root / "work";
    fs::create_directories(work);
    ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    const fs::path exe = moved / BINDIR / "corvinta";
    const fs::path err = root / "stderr.txt";
    EXPECT_EQ(RunIn(work, err,
                    {exe.string(), "--render", (moved / DATADIR / "Console Up.mid").string(), "--output", "x.wav"}),
              0)
        << Read(err);
    EXPECT_EQ(Read(err).find("Failed to load"), std::string::npos) << Read(err);
    EXPECT_GT(fs::file_size(work / "x.wav"), 44u * 1000);
    EXPECT_EQ(std::distance(fs::directory_iterator(work), fs::directory_iterator()), 1);
    EXPECT_FALSE(fs::exists(root / "config"));

#ifdef CORVINTA_WITH_SKIN
    // Where the installed program looks for its skin library, it is there and opens.
    const std::vector<std::string> paths = corvinta::skin::SkinLibrary::SearchPathsFor(exe);
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(paths[1], (moved / PLUGINDIR / "libpnl_216.so").string());
    corvinta::RecordingUserMessages messages;
    corvinta::skin::SkinLibrary library(messages);
    EXPECT_TRUE(library.Open(paths[1]));
#endif
    ::unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(root);
}

} // namespace
