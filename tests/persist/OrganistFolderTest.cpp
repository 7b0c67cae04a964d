// Which folder holds the organist's files: the working folder when it
// already holds them, files named on the command line as named, else the
// XDG configuration folder.

#include "persist/OrganistFolder.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace corvinta {
namespace {

namespace fs = std::filesystem;

// Sets or unsets one environment variable for the test's lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

struct FolderCase {
    const char* what;
    std::vector<std::string> filesHere;      // in the working folder
    std::string namedConfig, namedCombo;     // from the command line
    std::optional<std::string> configHome;   // XDG_CONFIG_HOME, "@" for the test's own folder
    bool inWorkingFolder;
    std::string config, combo;               // expected, "@" for the test's own folder, "~" for HOME
};

TEST(OrganistFolder, ChoosesTheWorkingFolderNamedFilesOrTheConfigurationFolder)
{
    const FolderCase cases[] = {
        {"working folder with both files", {"Corvinta.xml", "Corvinta.cbo"}, "", "", "@/xdg", true, "Corvinta.xml",
         "Corvinta.cbo"},
        {"working folder with the combinations only", {"Corvinta.cbo"}, "", "", "@/xdg", true, "Corvinta.xml",
         "Corvinta.cbo"},
        {"named files in a portable folder", {"Corvinta.xml"}, "theatre.xml", "/organs/theatre.cbo", "@/xdg", true,
         "theatre.xml", "/organs/theatre.cbo"},
        {"a named configuration, the combinations in the XDG folder", {}, "theatre.xml", "", "@/xdg", false,
         "theatre.xml", "@/xdg/corvinta/Corvinta.cbo"},
        {"an empty working folder: the XDG folder", {"other.xml"}, "", "", "@/xdg", false,
         "@/xdg/corvinta/Corvinta.xml", "@/xdg/corvinta/Corvinta.cbo"},
        {"XDG_CONFIG_HOME unset: ~/.config", {}, "", "", std::nullopt, false, "~/.config/corvinta/Corvinta.xml",
         "~/.config/corvinta/Corvinta.cbo"},
        {"XDG_CONFIG_HOME empty: ~/.config", {}, "", "", "", false, "~/.config/corvinta/Corvinta.xml",
         "~/.config/corvinta/Corvinta.cbo"},
        {"XDG_CONFIG_HOME relative, so ignored: ~/.config", {}, "", "", "xdg", false,
         "~/.config/corvinta/Corvinta.xml", "~/.config/corvinta/Corvinta.cbo"},
    };
    const fs::path previous = fs::current_path();
    for (const FolderCase& c : cases) {
        test::TempDir dir;
        const fs::path work = dir.Path() / "work";
        fs::create_directories(work);
        for (const std::string& name : c.filesHere)
            test::WriteFile((work / name).string(), "x");
        auto expand = [&](std::string s) {
            if (!s.empty() && s[0] == '@')
                s = dir.Path().string() + s.substr(1);
            if (!s.empty() && s[0] == '~')
                s = (dir.Path() / "home").string() + s.substr(1);
            return s;
        };
        ScopedEnv home("HOME", (dir.Path() / "home").string());
        ScopedEnv configHome("XDG_CONFIG_HOME", c.configHome ? std::optional(expand(*c.configHome)) : std::nullopt);
        fs::current_path(work);
        const OrganistFiles files = ChooseOrganistFiles(c.namedConfig, c.namedCombo);
        fs::current_path(previous);

        EXPECT_EQ(files.inWorkingFolder, c.inWorkingFolder) << c.what;
        EXPECT_EQ(files.configFile, expand(c.config)) << c.what;
        EXPECT_EQ(files.comboFile, expand(c.combo)) << c.what;
        EXPECT_EQ(files.folder, c.inWorkingFolder ? work : fs::path(expand(c.combo)).parent_path()) << c.what;
        // Choosing creates nothing; the organ makes the folder when it runs.
        EXPECT_FALSE(fs::exists(dir.Path() / "xdg")) << c.what;
        EXPECT_FALSE(fs::exists(dir.Path() / "home")) << c.what;
    }
}

TEST(OrganistFolder, TheConfigurationFolderIsMadeOnFirstUse)
{
    test::TempDir dir;
    ScopedEnv configHome("XDG_CONFIG_HOME", (dir.Path() / "a" / "b").string());
    const fs::path previous = fs::current_path();
    fs::current_path(dir.Path());
    const OrganistFiles files = ChooseOrganistFiles({}, {});
    fs::current_path(previous);
    ASSERT_TRUE(MakeOrganistFolder(files));
    EXPECT_TRUE(fs::is_directory(dir.Path() / "a" / "b" / "corvinta"));
    EXPECT_NE(OrganistFolderText(files).find((dir.Path() / "a" / "b" / "corvinta").string()), std::string::npos);

    // A folder that cannot be made is reported, not thrown.
    test::WriteFile((dir.Path() / "file").string(), "x");
    ScopedEnv blocked("XDG_CONFIG_HOME", (dir.Path() / "file").string());
    EXPECT_FALSE(MakeOrganistFolder(ChooseOrganistFiles({}, {})));
}

} // namespace
} // namespace corvinta
