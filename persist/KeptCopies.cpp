#include "persist/KeptCopies.h"

#include "persist/FileReading.h"
#include "persist/ReplacingFile.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace corvinta {

namespace {

std::string BadCopyName(const std::string& path, int place)
{
    return place == 0 ? path + ".bad" : path + ".bad." + std::to_string(place);
}

} // namespace

std::string BadCopyName(const std::string& path) { return BadCopyName(path, 0); }

bool KeepCopy(const std::string& path, const std::string& copyPath)
{
    std::unique_ptr<std::FILE, decltype(&std::fclose)> in(OpenForReading(path), &std::fclose);
    if (!in)
        return false;
    std::string bytes;
    char buffer[8192];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in.get())) > 0)
        bytes.append(buffer, n);
    if (std::ferror(in.get()))
        return false;
    // An earlier copy is the program's own; a read-only one is still replaced.
    std::error_code ignored;
    if (IsWriteProtected(copyPath))
        std::filesystem::remove(copyPath, ignored);
    CReplacingFile out(copyPath);
    if (!out.Open())
        return false;
    out.Write(bytes);
    return out.Commit();
}

bool KeepAsBad(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return true;
    for (int place = kBadCopiesKept - 1; place > 0; --place) {
        const std::string older = BadCopyName(path, place - 1);
        if (std::filesystem::exists(older, error))
            std::filesystem::rename(older, BadCopyName(path, place), error);
        if (error)
            return false;
    }
    return KeepCopy(path, BadCopyName(path));
}

} // namespace corvinta
