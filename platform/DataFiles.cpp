#include "platform/DataFiles.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace corvinta {

namespace fs = std::filesystem;

std::string FindDataFile(const std::string& name)
{
    std::error_code ec;
    const fs::path path(name);
    if (name.empty() || path.is_absolute() || fs::exists(path, ec))
        return name;
    std::vector<fs::path> folders;
    if (const char* dir = std::getenv("CORVINTA_DATA_DIR"))
        folders.emplace_back(dir);
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        folders.push_back(exe.parent_path());
        folders.push_back(exe.parent_path() / CORVINTA_DATA_FROM_BIN);
    }
    for (const fs::path& folder : folders) {
        const fs::path candidate = folder / path;
        if (fs::exists(candidate, ec))
            return candidate.lexically_normal().string();
    }
    return name;
}

} // namespace corvinta
