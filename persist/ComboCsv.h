#pragma once
// One memory level of every piston as a spreadsheet table: a row per stop
// and tremulant, a column per piston, a letter per cell.

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "organ/OrganTables.h"

namespace corvinta {

class CConsole;

class CComboCsv {
public:
    // Writes the console's current memory level. Reports its failures.
    static bool Export(CConsole& console, const std::string& path, char separator);
    // Replaces the current memory level of every piston with the table, or
    // changes nothing and reports why. The level named in the file is
    // checked, not used.
    static bool Import(CConsole& console, const std::string& path, char separator);

    // A cell code per item (row) and piston (column): bit 0 drawn, bit 1 in scope.
    using Table = std::vector<std::array<uint8_t, kPistonCount>>;
    // The reading step of Import; nullopt when the file is not a valid table.
    static std::optional<Table> ReadTable(std::FILE* file, char separator, int itemCount);
    static std::string Format(CConsole& console, int level, char separator);
};

} // namespace corvinta
