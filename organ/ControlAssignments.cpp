#include "organ/ControlAssignments.h"

#include <algorithm>

namespace corvinta {

void AssignmentMap::Insert(uint32_t controlCode, uint32_t itemCode)
{
    Remove(itemCode);
    byItem_[itemCode] = controlCode;
    byControl_[controlCode].push_back(itemCode);
}

void AssignmentMap::Remove(uint32_t itemCode)
{
    const auto found = byItem_.find(itemCode);
    if (found == byItem_.end())
        return;
    const auto items = byControl_.find(found->second);
    if (items != byControl_.end()) {
        std::erase(items->second, itemCode);
        if (items->second.empty())
            byControl_.erase(items);
    }
    byItem_.erase(found);
}

void AssignmentMap::Clear()
{
    byControl_.clear();
    byItem_.clear();
}

const std::vector<uint32_t>* AssignmentMap::ItemsFor(uint32_t controlCode) const
{
    const auto found = byControl_.find(controlCode);
    return found == byControl_.end() ? nullptr : &found->second;
}

std::optional<uint32_t> AssignmentMap::ControlFor(uint32_t itemCode) const
{
    const auto found = byItem_.find(itemCode);
    if (found == byItem_.end())
        return std::nullopt;
    return found->second;
}

namespace {

// Stop or tremulant n: controller 81/80 value n, from 128 on 83/82 value n - 128.
void InstallItemDefault(AssignmentMap& controllers, int item, uint32_t onCode, uint32_t offCode)
{
    const bool high = item >= 128;
    const uint8_t value = static_cast<uint8_t>(high ? item - 128 : item);
    controllers.Insert(ControlCode(kControlEntry, high ? 83 : 81, value), onCode);
    controllers.Insert(ControlCode(kControlEntry, high ? 82 : 80, value), offCode);
}

// Stop item number to (division, index within the division).
std::pair<int, int> StopPosition(int item)
{
    const int d = DivisionOfStop(item);
    return {d, item - FirstStopOf(d)};
}

} // namespace

void InstallDefaultAssignments(AssignmentMaps& maps)
{
    for (int item = 0; item < kStopCount; ++item) {
        const auto [d, i] = StopPosition(item);
        InstallItemDefault(maps.controllers, item, StopItemCode(d, i, true), StopItemCode(d, i, false));
    }
    for (int t = 0; t < kTremulantCount; ++t)
        InstallItemDefault(maps.controllers, TremulantItem(t), TremItemCode(t, true), TremItemCode(t, false));
    for (int c = 0; c < kAuxControlCount; ++c)
        maps.controllers.Insert(ControlCode(kControlEntry, kAuxControls[c].controller, kAnyValue), AuxItemCode(c));

    for (int k = 0; k < kPistonLevelOffsets; ++k)
        for (int p = 0; p < kPistonCount; ++p)
            maps.programs.Insert(ControlCode(kControlEntry, uint8_t(p + kPistonCount * k), 0), PistonItemCode(p, k));
    for (int b = 0; b < kSpecialButtonCount; ++b) {
        const int id = kFirstSpecialButtonId + b;
        maps.programs.Insert(ControlCode(kControlEntry, uint8_t(id), 0), PistonItemCode(id));
    }
}

ControlAssignments DefaultControlAssignments()
{
    ControlAssignments assignments;
    InstallDefaultAssignments(assignments.device);
    InstallDefaultAssignments(assignments.internal);
    return assignments;
}

void ControlWorkingCopy::Clear()
{
    controllers.fill(kUnassigned);
    programs.fill(kUnassigned);
}

namespace {

// The item codes behind each slot of the working copy, in slot order.
uint32_t ControllerSlotItem(int slot)
{
    using W = ControlWorkingCopy;
    if (slot >= W::AuxSlot(0))
        return AuxItemCode(slot - W::AuxSlot(0));
    const int item = slot / 2;
    const bool on = slot % 2 == 0;
    if (item >= kFirstTremulantItem)
        return TremItemCode(item - kFirstTremulantItem, on);
    const auto [d, i] = StopPosition(item);
    return StopItemCode(d, i, on);
}

uint32_t ProgramSlotItem(int slot)
{
    using W = ControlWorkingCopy;
    if (slot >= W::SpecialSlot(0))
        return PistonItemCode(kFirstSpecialButtonId + slot - W::SpecialSlot(0));
    return PistonItemCode(slot / kPistonLevelOffsets, slot % kPistonLevelOffsets);
}

constexpr uint32_t kValueByte = 0xFFu << 24;

} // namespace

ControlWorkingCopy ControlWorkingCopy::FromMaps(const AssignmentMaps& maps)
{
    ControlWorkingCopy copy;
    for (int slot = 0; slot < kControllerCodes; ++slot)
        if (auto code = maps.controllers.ControlFor(ControllerSlotItem(slot)))
            copy.controllers[size_t(slot)] = slot >= AuxSlot(0) ? (*code & ~kValueByte) : *code;
    for (int slot = 0; slot < kProgramCodes; ++slot)
        if (auto code = maps.programs.ControlFor(ProgramSlotItem(slot)))
            copy.programs[size_t(slot)] = *code;
    return copy;
}

void ControlWorkingCopy::ToMaps(AssignmentMaps& maps) const
{
    maps.controllers.Clear();
    maps.programs.Clear();
    for (int slot = 0; slot < kControllerCodes; ++slot) {
        const uint32_t code = controllers[size_t(slot)];
        if (code == kUnassigned)
            continue;
        maps.controllers.Insert(slot >= AuxSlot(0) ? (code | kValueByte) : code, ControllerSlotItem(slot));
    }
    for (int slot = 0; slot < kProgramCodes; ++slot)
        if (programs[size_t(slot)] != kUnassigned)
            maps.programs.Insert(programs[size_t(slot)], ProgramSlotItem(slot));
}

} // namespace corvinta
