#include "persist/OrganistFolder.h"

#include "persist/ComboFile.h"
#include "persist/ConfigStartup.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

namespace corvinta {

namespace fs = std::filesystem;

namespace {

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

fs::path HomeFolder()
{
    if (std::string home = Environment("HOME"); !home.empty())
        return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/";
}

} // namespace

fs::path ConfigHomeFolder()
{
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the XDG base directory rules say.
    const fs::path configHome = Environment("XDG_CONFIG_HOME");
    const fs::path base = configHome.is_absolute() ? configHome : HomeFolder() / ".config";
    return base / "corvinta";
}

OrganistFiles ChooseOrganistFiles(const std::string& namedConfig, const std::string& namedCombo)
{
    std::error_code ec;
    OrganistFiles files;
    files.inWorkingFolder = fs::exists(kDefaultConfigFileName, ec) || fs::exists(kDefaultComboFileName, ec);
    files.folder = files.inWorkingFolder ? fs::current_path(ec) : ConfigHomeFolder();
    auto choose = [&](const std::string& named, const char* defaultName) {
        if (!named.empty())
            return named;
        return files.inWorkingFolder ? std::string(defaultName) : (files.folder / defaultName).string();
    };
    files.configFile = choose(namedConfig, kDefaultConfigFileName);
    files.comboFile = choose(namedCombo, kDefaultComboFileName);
    return files;
}

bool MakeOrganistFolder(const OrganistFiles& files)
{
    std::error_code ec;
    if (files.inWorkingFolder)
        return true;
    fs::create_directories(files.folder, ec);
    return fs::is_directory(files.folder, ec);
}

std::string OrganistFolderText(const OrganistFiles& files)
{
    if (files.inWorkingFolder)
        return "Corvinta keeps the organist's files in the current folder, " + files.folder.string() +
               " (it holds Corvinta.xml or Corvinta.cbo).";
    return "Corvinta keeps the organist's files in " + files.folder.string() + ".";
}

} // namespace corvinta
