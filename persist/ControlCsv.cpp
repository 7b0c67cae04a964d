#include "persist/ControlCsv.h"

#include "persist/CsvText.h"
#include "persist/FileReading.h"
#include "persist/ReplacingFile.h"
#include "persist/TextNumbers.h"
#include "platform/UserMessages.h"

#include <memory>

namespace corvinta {

namespace {

using W = ControlWorkingCopy;

constexpr const char* kStopTitle = "STOP CONTROL CHANGE ASSIGNMENTS";
constexpr const char* kExpressionTitle = "EXPRESION CONTROL CHANGE ASSIGNMENTS";
constexpr const char* kProgramTitle = "PROGRAM CHANGE ASSIGNMENTS";

// An unassigned message is written as 255 in every column, which no
// assignment can hold, and read back as unassigned.
constexpr int kUnassignedByte = 255;

class Line {
public:
    explicit Line(char s) : s_(s) {}
    Line& operator<<(const std::string& text)
    {
        if (!first_)
            text_ += s_;
        first_ = false;
        text_ += text;
        return *this;
    }
    Line& operator<<(int number) { return *this << std::to_string(number); }
    std::string Done() const { return text_ + "\r\n"; }

private:
    char s_;
    bool first_ = true;
    std::string text_;
};

std::string PistonLabel(int p)
{
    const PistonDefinition& piston = kPistons[size_t(p)];
    if (piston.division < 0)
        return {};
    return std::string(kDivisions[size_t(piston.division)].name) + ": " + CellName(piston.label);
}

// A cleaned line: no quotes, commas or separators, as title lines compare.
std::string Cleaned(std::string line, char s)
{
    RemoveAll(line, '"');
    RemoveAll(line, ',');
    RemoveAll(line, s);
    return line;
}

// The numbers of a row after `skipped` fields; every field but the last must
// be non-empty, and the row must reach its last number.
bool ReadNumbers(CCsvLineReader& reader, char s, int skipped, int count, int* numbers)
{
    std::string line;
    if (!reader.Next(line))
        return false;
    const std::vector<std::string> fields = SplitFields(line, s);
    const size_t needed = size_t(skipped + count);
    if (fields.size() < needed)
        return false;
    for (size_t i = 0; i + 1 < needed; ++i)
        if (fields[i].empty())
            return false;
    for (int i = 0; i < count; ++i)
        numbers[i] = ReadInt(fields[size_t(skipped + i)]);
    return true;
}

bool AllUnassigned(const int* numbers, int count)
{
    for (int i = 0; i < count; ++i)
        if (numbers[i] != kUnassignedByte)
            return false;
    return true;
}

// A routing entry is a division or the control entry; any other would
// address a division that does not exist.
bool IsRoutingEntry(int number)
{
    const auto entry = uint8_t(number);
    return entry < kDivisionCount || entry == kControlEntry;
}

uint32_t SwitchCode(const int* n)
{
    if (AllUnassigned(n, 3))
        return W::kUnassigned;
    return ControlCode(uint8_t(n[0]), uint8_t(n[1] & 0x7F), uint8_t(n[2] & 0x7F));
}

bool ReadStopSection(W& controls, CCsvLineReader& reader, char s)
{
    for (int item = 0; item < W::kItems; ++item) {
        int n[6];
        if (!ReadNumbers(reader, s, 2, 6, n) || !IsRoutingEntry(n[0]) || !IsRoutingEntry(n[3]))
            return false;
        controls.controllers[size_t(W::OnSlot(item))] = SwitchCode(n);
        controls.controllers[size_t(W::OffSlot(item))] = SwitchCode(n + 3);
    }
    return true;
}

bool ReadExpressionSection(W& controls, CCsvLineReader& reader, char s)
{
    for (int c = 0; c < kAuxControlCount; ++c) {
        int n[2];
        if (!ReadNumbers(reader, s, 2, 2, n) || !IsRoutingEntry(n[0]))
            return false;
        controls.controllers[size_t(W::AuxSlot(c))] =
            AllUnassigned(n, 2) ? W::kUnassigned : ControlCode(uint8_t(n[0]), uint8_t(n[1] & 0x7F), 0);
    }
    return true;
}

// A row holds one routing entry for all levels of a piston, so a level
// without an assignment is known by its program column alone.
uint32_t ProgramCode(int entry, int program)
{
    if (program == kUnassignedByte)
        return W::kUnassigned;
    return ControlCode(uint8_t(entry), uint8_t(program & 0x7F), 0);
}

bool ReadProgramSection(W& controls, CCsvLineReader& reader, char s)
{
    for (int p = 0; p < kPistonCount; ++p) {
        int n[1 + kPistonLevelOffsets];
        if (!ReadNumbers(reader, s, 1, 1 + kPistonLevelOffsets, n) || !IsRoutingEntry(n[0]))
            return false;
        for (int k = 0; k < kPistonLevelOffsets; ++k)
            controls.programs[size_t(W::PistonSlot(p, k))] = ProgramCode(n[0], n[1 + k]);
    }
    for (int b = 0; b < kSpecialButtonCount; ++b) {
        int n[2];
        if (!ReadNumbers(reader, s, 1, 2, n) || !IsRoutingEntry(n[0]))
            return false;
        controls.programs[size_t(W::SpecialSlot(b))] = ProgramCode(n[0], n[1]);
    }
    return true;
}

} // namespace

std::string CControlCsv::Format(const ControlWorkingCopy& controls, char s)
{
    const auto code = [&](int slot) { return controls.controllers[size_t(slot)]; };
    std::string out;
    const auto title = [&](const char* text) { out += std::string(text) + "\r\n"; };

    title(kStopTitle);
    out += (Line(s) << "Division" << "Stop name" << "ON" << "CC" << "Val" << "OFF" << "CC" << "Val").Done();
    const auto switchRow = [&](const std::string& group, std::string_view label, int item) {
        const uint32_t on = code(W::OnSlot(item)), off = code(W::OffSlot(item));
        out += (Line(s) << group << CellName(label) << RoutingEntryOf(on) << NumberOf(on) << ValueOf(on)
                        << RoutingEntryOf(off) << NumberOf(off) << ValueOf(off)).Done();
    };
    for (int item = 0; item < kStopCount; ++item)
        switchRow(std::string(kDivisions[size_t(DivisionOfStop(item))].shortName), kStops[size_t(item)].label, item);
    for (int t = 0; t < kTremulantCount; ++t)
        switchRow("trem", kTremulants[size_t(t)].label, TremulantItem(t));

    title(kExpressionTitle);
    out += (Line(s) << "Division" << "Control name" << "ON" << "CC").Done();
    for (int c = 0; c < kAuxControlCount; ++c) {
        const uint32_t aux = code(W::AuxSlot(c));
        out += (Line(s) << "misc" << CellName(kAuxControls[size_t(c)].name) << RoutingEntryOf(aux) << NumberOf(aux)).Done();
    }

    title(kProgramTitle);
    out += (Line(s) << "Piston name" << "ON" << "PC +0" << "PC +1" << "PC +2" << "PC +3" << "PC +4").Done();
    for (int p = 0; p < kPistonCount; ++p) {
        // The row's routing entry is that of the piston's first assigned level.
        uint8_t entry = RoutingEntryOf(W::kUnassigned);
        for (int k = kPistonLevelOffsets - 1; k >= 0; --k)
            if (controls.programs[size_t(W::PistonSlot(p, k))] != W::kUnassigned)
                entry = RoutingEntryOf(controls.programs[size_t(W::PistonSlot(p, k))]);
        Line row(s);
        row << PistonLabel(p) << entry;
        for (int k = 0; k < kPistonLevelOffsets; ++k)
            row << NumberOf(controls.programs[size_t(W::PistonSlot(p, k))]);
        out += row.Done();
    }
    for (int b = 0; b < kSpecialButtonCount; ++b) {
        const uint32_t program = controls.programs[size_t(W::SpecialSlot(b))];
        out += (Line(s) << CellName(kSpecialButtons[size_t(b)].label) << RoutingEntryOf(program) << NumberOf(program)).Done();
    }
    return out;
}

bool CControlCsv::Export(const ControlWorkingCopy& controls, const std::string& path, char separator,
                         IUserMessages& messages)
{
    CReplacingFile file(path);
    if (file.Open()) {
        file.Write(Format(controls, separator));
        if (file.Commit())
            return true;
    }
    ShowWarning(messages, "Cannot save control assignments file!", "Corvinta Error");
    return false;
}

bool CControlCsv::Read(ControlWorkingCopy& controls, std::FILE* file, char s)
{
    CCsvLineReader reader(file);
    std::string line;
    const auto nextTitle = [&] {
        reader.Next(line);
        line = Cleaned(line, s);
    };
    const auto skipHeader = [&] { return reader.Next(line); };

    nextTitle();
    if (line == kStopTitle) {
        if (!skipHeader() || !ReadStopSection(controls, reader, s))
            return false;
        nextTitle();
    }
    if (line == kExpressionTitle) {
        if (!skipHeader() || !ReadExpressionSection(controls, reader, s))
            return false;
        nextTitle();
    }
    if (line == kProgramTitle) {
        if (!skipHeader() || !ReadProgramSection(controls, reader, s))
            return false;
    }
    return !reader.Failed();
}

bool CControlCsv::Import(ControlWorkingCopy& controls, const std::string& path, char separator, IUserMessages& messages)
{
    std::unique_ptr<std::FILE, decltype(&std::fclose)> file(OpenForReading(path), &std::fclose);
    if (!file) {
        ShowWarning(messages, "Cannot open control assignments file!", "Corvinta Error");
        return false;
    }
    if (!Read(controls, file.get(), separator))
        ShowWarning(messages, "Cannot import control assignments!", "Corvinta Error");
    return true;
}

} // namespace corvinta
