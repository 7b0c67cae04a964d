#pragma once
// The part that stop tabs, tremulant tabs and pistons share.

#include "organ/OrganTables.h"

#include <cstdint>
#include <string>

namespace corvinta {

struct CConsoleTab {
    std::string label = "undefined";
    StopKind type = StopKind::RankStop;
    bool inverted = false;  // the sounding state is the tab state XOR this (the unison-off coupler)
    bool sounding = false;  // last on/off state given to the output engine
    bool shown = false;     // last check state given to the tab's button
    bool crescendo = false; // the crescendo pedal's current stage includes the item
    int32_t number = 0;     // stop number, tremulant tab number, piston or special item number: picks the artwork
    int32_t item = 0;       // global item number

    // The stop sounds when drawn by hand or brought on by the crescendo.
    bool ShouldSound() const { return shown || crescendo; }
};

// Which MIDI controller message draws and cancels an item.
struct ControlAssignment {
    uint8_t channelOn = 15;
    uint8_t channelOff = 15;
    uint8_t controllerOn = 81;
    uint8_t controllerOff = 80;
    uint8_t valueOn = 0;
    uint8_t valueOff = 0;
    // False when no message draws (or cancels) the item: there is nothing to echo.
    bool assignedOn = true;
    bool assignedOff = true;

    static constexpr ControlAssignment DefaultFor(int item)
    {
        ControlAssignment a;
        if (item > 127) {
            a.controllerOn = 83;
            a.controllerOff = 82;
        }
        a.valueOn = a.valueOff = static_cast<uint8_t>(item & 0x7F);
        return a;
    }
};

} // namespace corvinta
