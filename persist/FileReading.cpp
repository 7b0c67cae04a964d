#include "persist/FileReading.h"

#include <sys/stat.h>

namespace corvinta {

std::FILE* OpenForReading(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return nullptr;
    struct stat opened {};
    if (::fstat(fileno(file), &opened) != 0 || S_ISDIR(opened.st_mode)) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

} // namespace corvinta
