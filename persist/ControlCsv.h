#pragma once
// Every MIDI control assignment as one spreadsheet table, exported from and
// imported into the settings dialog's working copy.

#include "organ/ControlAssignments.h"

#include <cstdio>
#include <string>

namespace corvinta {

class IUserMessages;

class CControlCsv {
public:
    // Reports its failures; false when nothing (or not all) was written.
    static bool Export(const ControlWorkingCopy& controls, const std::string& path, char separator,
                       IUserMessages& messages);
    // Replaces assignments row by row; rows read before a fault stay
    // imported. False only when the file could not be opened, in which case
    // nothing changed; otherwise the dialog redraws and marks its
    // assignments changed.
    static bool Import(ControlWorkingCopy& controls, const std::string& path, char separator, IUserMessages& messages);

    static std::string Format(const ControlWorkingCopy& controls, char separator);
    // The reading step of Import; false on a fault in the file.
    static bool Read(ControlWorkingCopy& controls, std::FILE* file, char separator);
};

} // namespace corvinta
