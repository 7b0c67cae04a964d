#pragma once
#include <cstdint>

namespace corvinta {

// One coupling of a source division onto a target, kept by the output engine.
struct Coupler {
    int32_t stop = -1;        // index within its division of the controlling tab, -1 for none
    int8_t transposition = 0; // semitones
};

} // namespace corvinta
