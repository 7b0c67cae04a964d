#pragma once
// The combination file: every piston's memory, eleven levels of drawn and
// scope sets, in one little-endian binary file.

#include "organ/ItemSet.h"
#include "organ/OrganTables.h"
#include "organ/Piston.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvinta {

class CConsole;
class IUserMessages;

inline constexpr const char* kComboFileCaption = "Corvinta Combination Initialization";
inline constexpr const char* kDefaultComboFileName = "Corvinta.cbo";

enum class ComboLoadOutcome {
    FromFile, // the memory came from the file
    Defaults, // the built-in memory is in force
    // The built-in memory is in force because the file there could not be
    // used; it is to be kept as NAME.bad before it is written over.
    DefaultsOverUnusableFile,
    Quit, // the user chose to end the program (exit code 1); nothing changed
};

class CComboFile {
public:
    static constexpr uint32_t kVersion = 868;
    static constexpr uint32_t kOldVersion = 867;     // ten levels, old item numbers
    static constexpr uint32_t kOldestVersion = 600;  // a hundred levels, old item numbers
    static constexpr uint32_t kMagic = 0x4F424D43;   // "CMBO"

    // Leaves every piston with a complete memory, from the file or the
    // defaults, and tells the user which. configFileName "BaseCamp.xml"
    // offers to restore the built-in memory. An old file is converted only
    // once its original is kept beside it as NAME.v600 (or NAME.v867).
    static ComboLoadOutcome Load(CConsole& console, const std::string& path, const std::string& configFileName);
    // Reads the file without installing it: nullopt when it is missing
    // (present false), unusable, or the organist declined to convert it
    // (quit true). Old files are converted as Load does.
    static std::optional<std::vector<PistonMemory>> Read(CConsole& console, const std::string& path, bool& present,
                                                         bool& quit);
    // Every piston's memory as it stands (under the console lock while the organ plays).
    static std::vector<PistonMemory> Memory(CConsole& console);

    // Writes the version-868 layout; on failure tells the user and leaves any
    // previous file as it was. keepAsBadFirst: the file there did not load;
    // it is kept as NAME.bad first, and nothing is written if it cannot be.
    static bool Save(CConsole& console, const std::string& path, bool keepAsBadFirst = false);
    static bool Write(const std::vector<PistonMemory>& memory, IUserMessages& messages, const std::string& path,
                      bool keepAsBadFirst = false);

    static std::string OriginalCopyName(const std::string& path, uint32_t version);

    // The file's contents for pistonCount pistons; nullopt when they are not
    // a whole combination file. An oldest-version file is read only when
    // readOldest answers true (quit is set otherwise).
    template <class ReadOldest>
    static std::optional<std::vector<PistonMemory>> Parse(const uint8_t* data, size_t size, int pistonCount,
                                                          ReadOldest readOldest, bool& quit);

    static std::vector<uint8_t> Format(const std::vector<PistonMemory>& memory);

    // Old item numbers to the current ones, over a whole 128-bit set.
    static ItemSet ConvertOldItems(const ItemSet& old);

private:
    static std::optional<std::vector<PistonMemory>> ParseRecords(const uint8_t* data, size_t size, int pistonCount,
                                                                 uint32_t version);
    static std::optional<uint32_t> ReadVersion(const uint8_t* data, size_t size);
};

template <class ReadOldest>
std::optional<std::vector<PistonMemory>> CComboFile::Parse(const uint8_t* data, size_t size, int pistonCount,
                                                           ReadOldest readOldest, bool& quit)
{
    quit = false;
    const std::optional<uint32_t> version = ReadVersion(data, size);
    if (!version)
        return std::nullopt;
    if (*version == kOldestVersion && !readOldest()) {
        quit = true;
        return std::nullopt;
    }
    return ParseRecords(data, size, pistonCount, *version);
}

} // namespace corvinta
