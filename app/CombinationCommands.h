#pragma once
// The console menu's combination commands: the combination file loaded,
// saved and saved under another name, and the current memory level
// exported to and imported from a spreadsheet table. The window chooses the
// files; an empty path is a cancelled dialog and does nothing.

#include "organ/Console.h"
#include "persist/ConsolePersistence.h"

#include <string>

namespace corvinta {

class CombinationCommands {
public:
    CombinationCommands(CConsole& console, PersistedFiles& files) : console_(console), files_(files) {}

    // Reads the file first and installs it whole only if it loaded: a file
    // that cannot be used, or an old one the organist declines to convert,
    // leaves the memory in force and the name to save to as they were.
    bool Load(const std::string& path);
    // Writes the combination file in use.
    bool Save();
    // Writes to path, which becomes the file in use for later saves.
    bool SaveAs(const std::string& path);
    bool ExportLevel(const std::string& path, char separator);
    bool ImportLevel(const std::string& path, char separator);

    const std::string& FileInUse() const { return files_.comboFileName; }

private:
    CConsole& console_;
    PersistedFiles& files_;
};

} // namespace corvinta
