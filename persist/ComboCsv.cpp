#include "persist/ComboCsv.h"

#include "organ/Console.h"
#include "persist/CsvText.h"
#include "persist/FileReading.h"
#include "persist/ReplacingFile.h"
#include "persist/TextNumbers.h"

#include <memory>

namespace corvinta {

namespace {

constexpr const char* kEndLine = "END OF COMBINATIONS";

// The console's current memory level, if it is one the pistons keep.
std::optional<int> CurrentLevel(CConsole& console)
{
    const int level = console.Settings().console.memLevel;
    if (level < 0 || level >= kMemoryLevelCount)
        return std::nullopt;
    return level;
}

void Fail(CConsole& console, const char* text) { ShowWarning(console.Messages(), text, "Corvinta Error"); }

char Cell(const CPiston& piston, int level, int item)
{
    const ItemSet& scope = piston.scope[size_t(level)];
    const bool drawn = piston.drawn[size_t(level)].Test(item);
    if (scope.Test(item))
        return drawn ? 'X' : 'O';
    return scope.Empty() && drawn ? 'R' : 0;
}

// The integer between the first and the second separator; nullopt when the
// line has no second separator.
std::optional<std::string> SecondField(const std::string& line, char s)
{
    const size_t first = line.find(s);
    if (first == std::string::npos)
        return std::nullopt;
    const size_t second = line.find(s, first + 1);
    if (second == std::string::npos)
        return std::nullopt;
    return line.substr(first + 1, second - first - 1);
}

bool StartsWithDigit(const std::string& text)
{
    const size_t i = text.find_first_not_of(" \t");
    return i != std::string::npos && text[i] >= '0' && text[i] <= '9';
}

void Normalise(std::string& line, char s, bool upper)
{
    RemoveAll(line, '"');
    for (char& c : line) {
        if (c == ',')
            c = s;
        if (upper && c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
}

// One table row into codes; false when the row is not valid.
bool ReadRow(const std::string& line, char s, int itemCount, CComboCsv::Table& table)
{
    const std::optional<std::string> itemText = SecondField(s + line, s);
    if (!itemText)
        return false;
    const int item = ReadInt(*itemText);
    if (item < 0 || item >= itemCount)
        return false;

    // The cells follow the third separator, each led by its separator.
    size_t third = std::string::npos;
    for (int k = 0, from = 0; k < 3; ++k) {
        third = line.find(s, size_t(from));
        if (third == std::string::npos)
            break;
        from = int(third) + 1;
    }
    std::string letters;
    int cells = 0;
    if (third != std::string::npos) {
        const std::string tail = line.substr(third);
        for (size_t i = 0; i < tail.size(); ++i) {
            if (tail[i] != s) {
                letters += tail[i];
                continue;
            }
            ++cells;
            if (i + 1 == tail.size() || tail[i + 1] == s)
                letters += '-';
        }
    }
    auto& row = table[size_t(item)];
    row.fill(0);
    for (int p = 0; p < kPistonCount && p < cells; ++p) {
        switch (letters[size_t(p)]) {
        case 'X': row[size_t(p)] = 3; break;
        case 'O': row[size_t(p)] = 2; break;
        case 'R': row[size_t(p)] = 1; break;
        case '-': row[size_t(p)] = 0; break;
        default: return false;
        }
    }
    return true;
}

} // namespace

std::string CComboCsv::Format(CConsole& console, int level, char s)
{
    const std::string ten(10, s);
    std::string out;
    const auto line = [&](const std::string& text) { out += text + "\r\n"; };
    line(s + std::to_string(level) + s + "\"Combinaton Level\"" + s + "SOLO" + ten + "ACCOMPANIMENT" + ten + "PEDAL");

    std::string columns;
    for (int p = 0; p < console.PistonCount(); ++p)
        columns += s + CellName(console.Piston(p).label);
    const auto cells = [&](int item) {
        std::string text;
        for (int p = 0; p < console.PistonCount(); ++p) {
            text += s;
            if (const char c = Cell(console.Piston(p), level, item))
                text += c;
        }
        return text;
    };

    int item = 0;
    for (int d = 0; d < console.DivisionCount(); ++d) {
        CDivision& division = console.Division(d);
        line(std::string{s, s} + "\"" + division.name + "\"" + columns);
        for (int i = 0; i < division.stopCount; ++i, ++item) {
            const CStop& stop = division.Stop(i);
            if (stop.type == StopKind::EffectStop)
                continue;
            line(std::to_string(item) + s + std::to_string(i) + s + "\"" + CellName(stop.label) + "\"" + cells(item));
        }
    }
    line(std::string{s, s} + "Tremulants" + columns);
    for (int t = 0; t < console.TremulantCount(); ++t, ++item)
        line(std::to_string(item) + s + std::to_string(t) + s + "\"" + CellName(console.Trem(t).label) + "\"" + cells(item));
    line(kEndLine);
    return out;
}

bool CComboCsv::Export(CConsole& console, const std::string& path, char separator)
{
    const std::optional<int> level = CurrentLevel(console);
    CReplacingFile file(path);
    if (level && file.Open()) {
        file.Write(Format(console, *level, separator));
        if (file.Commit())
            return true;
    }
    Fail(console, "Cannot export combination file!");
    return false;
}

std::optional<CComboCsv::Table> CComboCsv::ReadTable(std::FILE* file, char s, int itemCount)
{
    CCsvLineReader reader(file);
    Table table(static_cast<size_t>(itemCount), std::array<uint8_t, kPistonCount>{});
    std::string line;
    if (!reader.Next(line))
        return std::nullopt;
    Normalise(line, s, false);
    const std::optional<std::string> levelText = SecondField(line, s);
    if (!levelText || !StartsWithDigit(*levelText) || ReadInt(*levelText) >= 100)
        return std::nullopt;

    // A missing end line runs into the end of the file, which fails.
    while (reader.Next(line)) {
        Normalise(line, s, true);
        if (line.starts_with(kEndLine))
            return table;
        if (line.size() >= 2 && line[0] == s && line[1] == s)
            continue; // a heading
        if (line.empty() || !ReadRow(line, s, itemCount, table))
            return std::nullopt;
    }
    return std::nullopt;
}

bool CComboCsv::Import(CConsole& console, const std::string& path, char separator)
{
    std::unique_ptr<std::FILE, decltype(&std::fclose)> file(OpenForReading(path), &std::fclose);
    if (!file) {
        Fail(console, "Cannot open combination file for import!");
        return false;
    }
    const std::optional<int> level = CurrentLevel(console);
    const int items = console.Division(kDivisionCount - 1).firstStop + console.Division(kDivisionCount - 1).stopCount +
                      console.TremulantCount();
    const std::optional<Table> table = level ? ReadTable(file.get(), separator, items) : std::nullopt;
    if (!table) {
        Fail(console, "Cannot import combination file!");
        return false;
    }
    for (int p = 0; p < console.PistonCount(); ++p) {
        CPiston& piston = console.Piston(p);
        ItemSet drawn, scope;
        for (int item = 0; item < items; ++item) {
            const uint8_t code = (*table)[size_t(item)][size_t(p)];
            drawn.Set(item, code & 1);
            scope.Set(item, code & 2);
        }
        piston.drawn[size_t(*level)] = drawn;
        piston.scope[size_t(*level)] = scope;
    }
    return true;
}

} // namespace corvinta
