// The settings dialog's control list: expression controls, pistons and the
// console buttons, stops and tremulants, each cell a part of a control code.

#include "organ/Console.h"
#include "organ/SettingsEdit.h"

#include <algorithm>

namespace corvinta {

namespace {

constexpr uint32_t kNone = ControlWorkingCopy::kUnassigned;

std::string Trimmed(std::string_view label)
{
    std::string text(label);
    std::replace(text.begin(), text.end(), '\n', ' ');
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    // Blanks inside collapse to one.
    text.erase(std::unique(text.begin(), text.end(), [](char a, char b) { return a == ' ' && b == ' '; }), text.end());
    return text;
}

} // namespace

std::vector<std::string> SettingsEdit::ControlHeaders(ControlPage page)
{
    switch (page) {
    case ControlPage::Expression: return {"Control name", "ON", "CC", "Closed", "Open"};
    case ControlPage::Pistons: return {"Piston name", "ON", "PC +0", "PC +1", "PC +2", "PC +3", "PC +4"};
    case ControlPage::Stops: return {"Stop name", "ON", "CC", "Val", "OFF", "CC", "Val"};
    }
    return {};
}

std::vector<std::string> SettingsEdit::StopGroups() const
{
    std::vector<std::string> groups;
    for (const std::string& name : divisionNames_)
        groups.push_back(name + " stops");
    groups.emplace_back("Tremulants");
    return groups;
}

int SettingsEdit::ControlRowCount(ControlPage page, int group) const
{
    switch (page) {
    case ControlPage::Expression: return kAuxControlCount;
    case ControlPage::Pistons: return kPistonCount + kSpecialButtonCount;
    case ControlPage::Stops:
        if (group >= static_cast<int>(divisionNames_.size()))
            return kTremulantCount;
        return kDivisions[static_cast<size_t>(group)].stopCount;
    }
    return 0;
}

int SettingsEdit::ControlSlot(ControlPage page, int group, int row, int column, bool& program) const
{
    program = false;
    switch (page) {
    case ControlPage::Expression:
        return column == 1 || column == 2 ? ControlWorkingCopy::AuxSlot(row) : -1;
    case ControlPage::Pistons:
        program = true;
        if (row < kPistonCount) {
            if (column == 1)
                return ControlWorkingCopy::PistonSlot(row, 0);
            return column >= 2 && column <= 6 ? ControlWorkingCopy::PistonSlot(row, column - 2) : -1;
        }
        return column == 1 || column == 2 ? ControlWorkingCopy::SpecialSlot(row - kPistonCount) : -1;
    case ControlPage::Stops: {
        const int item = group >= static_cast<int>(divisionNames_.size())
                             ? kFirstTremulantItem + row
                             : FirstStopOf(group) + row;
        if (column >= 1 && column <= 3)
            return ControlWorkingCopy::OnSlot(item);
        if (column >= 4 && column <= 6)
            return ControlWorkingCopy::OffSlot(item);
        return -1;
    }
    }
    return -1;
}

std::string SettingsEdit::ControlCell(ControlPage page, int group, int row, int column) const
{
    if (column == 0) {
        switch (page) {
        case ControlPage::Expression: return std::string(kAuxControls[static_cast<size_t>(row)].name);
        case ControlPage::Pistons:
            if (row < kPistonCount) {
                const PistonDefinition& p = kPistons[static_cast<size_t>(row)];
                return std::string(kDivisions[static_cast<size_t>(p.division)].shortName) + " " + std::string(p.label);
            }
            return std::string(kSpecialButtons[static_cast<size_t>(row - kPistonCount)].label);
        case ControlPage::Stops:
            if (group >= static_cast<int>(divisionNames_.size()))
                return Trimmed(kTremulants[static_cast<size_t>(row)].label);
            return Trimmed(kStops[static_cast<size_t>(FirstStopOf(group) + row)].label);
        }
    }
    if (page == ControlPage::Expression && (column == 3 || column == 4)) {
        if (row >= 3)
            return "-";
        const Calibration& c = settings_.calibration[row];
        return std::to_string(column == 3 ? c.minimum : c.maximum);
    }
    bool program = false;
    const int slot = ControlSlot(page, group, row, column, program);
    if (slot < 0)
        return "-";
    const uint32_t code = program ? controls_.programs[static_cast<size_t>(slot)] : controls_.controllers[static_cast<size_t>(slot)];
    if (code == kNone)
        return "-";
    const bool entryColumn = column == 1 || (page == ControlPage::Stops && column == 4);
    if (entryColumn) {
        const uint8_t entry = RoutingEntryOf(code);
        return entry < divisionNames_.size() ? divisionNames_[entry] : "aux";
    }
    const bool valueColumn = page == ControlPage::Stops && (column == 3 || column == 6);
    return std::to_string(valueColumn ? ValueOf(code) : NumberOf(code));
}

ControlMenu SettingsEdit::ControlCellMenu(ControlPage page, int group, int row, int column) const
{
    if (column == 0)
        return ControlMenu::None;
    if (page == ControlPage::Expression && (column == 3 || column == 4))
        return row < 3 ? ControlMenu::Numbers : ControlMenu::None;
    bool program = false;
    if (ControlSlot(page, group, row, column, program) < 0)
        return ControlMenu::None;
    const bool entryColumn = column == 1 || (page == ControlPage::Stops && column == 4);
    return entryColumn ? ControlMenu::Divisions : ControlMenu::Numbers;
}

void SettingsEdit::SetControlCell(ControlPage page, int group, int row, int column, int value)
{
    if (ControlCellMenu(page, group, row, column) == ControlMenu::None)
        return;
    controlsChanged_ = true;
    const uint8_t v = static_cast<uint8_t>(std::clamp(value, 0, 255));
    if (page == ControlPage::Expression && (column == 3 || column == 4)) {
        Calibration& c = settings_.calibration[row];
        (column == 3 ? c.minimum : c.maximum) = static_cast<uint8_t>(std::min<int>(v, 127));
        return;
    }
    bool program = false;
    const int slot = ControlSlot(page, group, row, column, program);
    uint32_t* codes = program ? controls_.programs.data() : controls_.controllers.data();
    uint32_t& code = codes[slot];
    const bool entryColumn = column == 1 || (page == ControlPage::Stops && column == 4);
    const bool valueColumn = page == ControlPage::Stops && (column == 3 || column == 6);
    const uint8_t entry = code == kNone ? kControlEntry : RoutingEntryOf(code);
    const uint8_t number = code == kNone ? 0 : NumberOf(code);
    // A continuous control answers any value; a program change carries none.
    const uint8_t fixedValue = page == ControlPage::Expression ? kAnyValue : 0;
    uint8_t codeValue = code == kNone ? fixedValue : ValueOf(code);
    if (entryColumn) {
        const uint8_t newEntry = v < divisionNames_.size() ? v : kControlEntry;
        code = ControlCode(newEntry, number, codeValue);
        // A piston's five levels answer on one input.
        if (page == ControlPage::Pistons && row < kPistonCount)
            for (int k = 1; k < kPistonLevelOffsets; ++k) {
                uint32_t& level = codes[ControlWorkingCopy::PistonSlot(row, k)];
                if (level != kNone)
                    level = ControlCode(newEntry, NumberOf(level), ValueOf(level));
            }
    } else if (valueColumn) {
        code = ControlCode(entry, number, static_cast<uint8_t>(std::min<int>(v, 127)));
    } else {
        code = ControlCode(entry, static_cast<uint8_t>(std::min<int>(v, 127)), codeValue);
    }
}

} // namespace corvinta
