#pragma once
// Opening a stored file for reading. The C library opens a folder as if it
// were a file and only the reads fail; a folder is no file to read.

#include <cstdio>
#include <string>

namespace corvinta {

// The file opened for binary reading, or null when it cannot be opened or
// is a folder.
std::FILE* OpenForReading(const std::string& path);

} // namespace corvinta
