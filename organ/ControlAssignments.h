#pragma once
// The MIDI control assignments: which incoming controller or program-change
// message operates which console item. Plain data; the event processor looks
// messages up here, the configuration file and the settings dialog fill it.
//
// A control code says which message: byte 1 the routing entry (a division
// number, or kControlEntry for the control entry on channel 16), byte 2 the
// controller or program number, byte 3 the controller value (kAnyValue for a
// continuous control; 0 for program changes). Byte 0 is always 0.
//
// An item code says what it operates: byte 0 the memory-level offset of a
// piston, byte 1 the kind, byte 2 the division of a stop, byte 3 the stop
// index within its division, the tremulant index or the piston id.

#include "organ/OrganTables.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <unordered_map>
#include <vector>

namespace corvinta {

inline constexpr uint8_t kControlEntry = 255; // routing entry of DIVSETTINGS entry 6
inline constexpr uint8_t kAnyValue = 0xFF;    // controller value of a continuous assignment

// Byte 1 of an item code. Continuous controls use their index 0..3 as kind.
enum ItemKind : uint8_t {
    kItemStopOn = 0x10,
    kItemStopOff = 0x11,
    kItemTremOn = 0x12,
    kItemTremOff = 0x13,
    kItemPiston = 0x20, // a piston (id 0..22) or a special button (id 119..127)
};

inline constexpr int kFirstSpecialButtonId = 119; // "TRM"; 119..127 in special-button order
inline constexpr int kPistonLevelOffsets = 5;     // a piston can be assigned for level +0..+4

constexpr uint32_t ControlCode(uint8_t entry, uint8_t number, uint8_t value)
{
    return uint32_t(entry) << 8 | uint32_t(number) << 16 | uint32_t(value) << 24;
}
constexpr uint8_t CodeByte(uint32_t code, int byte) { return static_cast<uint8_t>(code >> (8 * byte)); }
constexpr uint8_t RoutingEntryOf(uint32_t controlCode) { return CodeByte(controlCode, 1); }
constexpr uint8_t NumberOf(uint32_t controlCode) { return CodeByte(controlCode, 2); }
constexpr uint8_t ValueOf(uint32_t controlCode) { return CodeByte(controlCode, 3); }

constexpr uint32_t ItemCode(uint8_t kind, uint8_t division, uint8_t index, uint8_t level = 0)
{
    return uint32_t(index) << 24 | uint32_t(division) << 16 | uint32_t(kind) << 8 | level;
}
constexpr uint32_t StopItemCode(int division, int stopIndex, bool on)
{
    return ItemCode(on ? kItemStopOn : kItemStopOff, uint8_t(division), uint8_t(stopIndex));
}
constexpr uint32_t TremItemCode(int tremulant, bool on)
{
    return ItemCode(on ? kItemTremOn : kItemTremOff, 0, uint8_t(tremulant));
}
constexpr uint32_t AuxItemCode(int control) { return ItemCode(uint8_t(control), 0, 0); }
// pistonId: 0..22 for pistons, 119..127 for the special buttons (level 0 only).
constexpr uint32_t PistonItemCode(int pistonId, int levelOffset = 0)
{
    return ItemCode(kItemPiston, 0, uint8_t(pistonId), uint8_t(levelOffset));
}
constexpr uint8_t KindOf(uint32_t itemCode) { return CodeByte(itemCode, 1); }

// One map of assignments in both directions. Each item code has at most one
// control code; one control code may operate several items.
class AssignmentMap {
public:
    // Assigns controlCode to itemCode, replacing the item's previous control.
    void Insert(uint32_t controlCode, uint32_t itemCode);
    void Remove(uint32_t itemCode);
    void Clear();

    // The items a message operates (the event processor's direction); null if none.
    const std::vector<uint32_t>* ItemsFor(uint32_t controlCode) const;
    // The control that operates an item (control bytes, files, the dialog).
    std::optional<uint32_t> ControlFor(uint32_t itemCode) const;

    // Every assignment by item code, in ascending order.
    const std::map<uint32_t, uint32_t>& ByItem() const { return byItem_; }
    bool operator==(const AssignmentMap& other) const { return byItem_ == other.byItem_; }

private:
    std::unordered_map<uint32_t, std::vector<uint32_t>> byControl_;
    std::map<uint32_t, uint32_t> byItem_;
};

// Controller messages operate stops, tremulants and the continuous controls;
// program changes fire pistons and special buttons.
struct AssignmentMaps {
    AssignmentMap controllers;
    AssignmentMap programs;
    bool operator==(const AssignmentMaps&) const = default;
};

// One pair for messages from MIDI devices and one for events the program
// generates itself (MIDI file playback). The configuration file stores the
// device pair; the internal pair keeps the default assignments.
struct ControlAssignments {
    AssignmentMaps device;
    AssignmentMaps internal;
};

// The default assignments, all on the control entry (MIDI channel 16):
// stop or tremulant n on with controller 81 value n and off with controller
// 80 (83 and 82 with value n - 128 from n = 128); Swell Main 11, Swell Solo
// 7, Crescendo 1, Memory Level 0 at any value; program p + 23k fires piston
// p at the current level plus k; programs 119..127 the special buttons.
void InstallDefaultAssignments(AssignmentMaps& maps);
ControlAssignments DefaultControlAssignments();

// The assignments as the settings dialog edits them and the control-assignment
// CSV exchanges them: one control code per message, in fixed positions.
struct ControlWorkingCopy {
    // A message without an assignment. Byte 0 of a real code is always 0.
    static constexpr uint32_t kUnassigned = 0xFFFFFFFF;
    static constexpr int kItems = kFirstPistonItem;        // stops and tremulants, 0..99
    static constexpr int kControllerCodes = 2 * kItems + kAuxControlCount;
    static constexpr int kProgramCodes = kPistonCount * kPistonLevelOffsets + kSpecialButtonCount;

    // On and off per item in item order, then the continuous controls, whose
    // value byte is 0 here (kAnyValue in the maps).
    std::array<uint32_t, kControllerCodes> controllers;
    // Levels +0..+4 per piston, then the special buttons.
    std::array<uint32_t, kProgramCodes> programs;

    static constexpr int OnSlot(int item) { return 2 * item; }
    static constexpr int OffSlot(int item) { return 2 * item + 1; }
    static constexpr int AuxSlot(int control) { return 2 * kItems + control; }
    static constexpr int PistonSlot(int piston, int levelOffset) { return piston * kPistonLevelOffsets + levelOffset; }
    static constexpr int SpecialSlot(int button) { return kPistonCount * kPistonLevelOffsets + button; }

    ControlWorkingCopy() { Clear(); }
    void Clear();

    static ControlWorkingCopy FromMaps(const AssignmentMaps& maps);
    // Replaces every assignment that the working copy covers.
    void ToMaps(AssignmentMaps& maps) const;

    bool operator==(const ControlWorkingCopy&) const = default;
};

} // namespace corvinta
