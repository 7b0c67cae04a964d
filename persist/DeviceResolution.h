#pragma once
// Turns the device references stored in the settings into the device ids of
// the devices present now. Pure functions over lists of names, so the MIDI
// layer can be anything that can name its devices.

#include "organ/Settings.h"

#include <map>
#include <string>
#include <vector>

namespace corvinta {

class CConsole;

inline constexpr const char* kInternalSynthName = "Corvinta Fluidsynth";

struct InputResolution {
    bool omniFound = false;          // some entry still said "Omni"
    std::vector<uint16_t> inUse;     // active device ids, without duplicates, in the order found
};

// For each entry: "Omni" stands for file id 0; any other non-empty reference
// is a file id looked up in fileDevices, whose name is matched exactly
// against the devices present. A match sets the entry's device id; no match
// keeps it. Every file device present is in use; with none, device 0 is.
InputResolution ResolveInputDevices(std::vector<DIVSETTINGS>& entries,
                                    const std::map<int, std::string>& fileDevices,
                                    const std::vector<std::string>& present);

// Each rank's device name against the output devices present; the built-in
// synthesizer's name gives kNoDevice. No match keeps the device id.
void ResolveOutputDevices(std::vector<RNKSETTINGS>& ranks, const std::vector<std::string>& present);

// Both of the above on the console, with the "Omni" message when it applies.
void ResolveConsoleDevices(CConsole& console);

} // namespace corvinta
