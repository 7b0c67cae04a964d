#pragma once
// The Traps rank: drums, cymbals and effects, one sound per MIDI note. The
// notes are the ones the console's fixed-note stops, toe studs and piston
// click send; the kit is built from those tables.

#include "tools/soundfont/ToneSynth.h"

#include <random>
#include <string_view>
#include <vector>

namespace corvinta::soundfont {

struct TrapSound {
    int note;
    std::string_view name;
    Tone tone;       // loops for effects that sound while held
    double release;  // seconds
};

// The note the console sounds for a piston or cancel press (its default).
inline constexpr int kPistonClickNote = 95;

// Every note the console can send to the Traps rank, in ascending order.
std::vector<int> TrapNotes();

std::vector<TrapSound> BuildTrapsKit(std::mt19937& random);

} // namespace corvinta::soundfont
