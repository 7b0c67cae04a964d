#pragma once
#include "organ/ConsoleTab.h"

namespace corvinta {

struct CStop : CConsoleTab {
    int32_t rank = 0;           // rank number; for a coupler the coupled division
    int8_t pitch = 0;           // semitone offset; the fixed note of a fixed-note or effect stop
    uint8_t rankShift = 0;      // 6 with Modern Tibia Unification on a Tibia-alternative stop
    bool tibiaAlternative = false;
    int32_t ranks = 1;          // consecutive ranks sounded
    ControlAssignment control;

    int EffectiveRank() const { return rank + rankShift; }
};

} // namespace corvinta
