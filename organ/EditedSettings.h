#pragma once
// What the settings dialog hands back when the organist confirms it: a whole
// copy of the settings, plus which of the values that OK converts were
// actually edited, so values nobody touched are kept to the bit.

#include "organ/ControlAssignments.h"
#include "organ/Settings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvinta {

struct EditedSettings {
    // Everything as the dialog left it, in the configuration file's units.
    OrganSettings settings;
    // Per rank (the same count as settings.ranks), the dialog's steps where
    // the organist changed them: volume 1..16 becomes 8 v - 1; pan -8..8
    // becomes 64 + 8 p, and 8 becomes 127.
    std::vector<std::optional<int>> volumeSteps;
    std::vector<std::optional<int>> panSteps;
    // Set when "Use Velocity for Piano" was changed: true gives mask 0x00.
    std::optional<bool> velocityForPiano;
    // The active MIDI input devices, by the stable names the organ lists.
    std::vector<std::string> inputDevicesInUse;
    ControlAssignments assignments;
    bool useDefaultAssignments = true;
    // The sound font list differs from the one in force.
    bool soundFontsChanged = false;
};

} // namespace corvinta
