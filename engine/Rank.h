#pragma once
// A rank as the output engine keeps it: where it sounds and how many
// requests hold each of its notes.

#include "organ/DeviceId.h"

#include <array>
#include <cstdint>
#include <string>

namespace corvinta {

inline constexpr uint8_t kChamberMain = 0, kChamberSolo = 1, kChamberPiano = 2, kChamberNone = 255;

struct CRank {
    uint8_t chamber = kChamberNone; // 2 = piano: velocity sensitive
    std::string name;
    std::array<int8_t, 128> noteCounts{};
    int32_t outputSlot = 0; // kNoDevice for FluidSynth, or an index into the engine's open MIDI outputs
};

} // namespace corvinta
