#pragma once
// The configuration file: every setting the user can change, as XML. Read
// once while the console is built and written once when it closes.

#include <cstddef>
#include <string>

namespace corvinta {

class CConsole;

enum class ConfigLoadResult {
    Ok = 0,
    CannotOpen = 1,    // the file cannot be opened for reading
    CannotMeasure = 2, // its size cannot be found
    TooBig = 3,        // longer than the size limit
    Corrupted = 4,     // not well-formed, or not the structure of a configuration
};

class CConfigFile {
public:
    static constexpr long kSizeLimit = 50000;
    static constexpr int kVersion = 511;

    // Applies each element to the console as it closes, so a Corrupted file
    // leaves what was read before the fault in force. CannotOpen,
    // CannotMeasure and TooBig change nothing.
    static ConfigLoadResult Load(const std::string& path, CConsole& console, long sizeLimit);
    // The parsing step of Load, on bytes already in memory.
    static ConfigLoadResult Parse(const char* data, size_t size, CConsole& console);

    // Replaces the file whole; false when it could not be written completely,
    // in which case any previous file is left as it was.
    static bool Save(const std::string& path, const CConsole& console, int version);
    // The text Save writes.
    static std::string Format(const CConsole& console, int version);
};

} // namespace corvinta
