#pragma once
// The organ's own sound font: one preset for every program of the rank
// table, at the bank the default configuration reaches through its bank
// offset, and the Traps kit where FluidSynth's drum channel looks for it.

#include "tools/soundfont/Sf2Writer.h"

#include <vector>

namespace corvinta::soundfont {

// Semitones between neighbouring samples of a pipe rank and of a percussion.
inline constexpr int kPipeSampleSpacing = 4;
inline constexpr int kStruckSampleSpacing = 6;
// FluidSynth's bank of percussion kits, which its drum channel selects.
inline constexpr int kDrumBank = 128;

// The bank inside the font whose presets answer `bank` once the font is
// loaded with the default bank offset.
int FontBank(int bank);

// The notes at which a rank's samples are recorded, lowest first.
std::vector<int> SampleNotes(int rank);

sf2::CSf2Writer BuildCorvintaFont();

} // namespace corvinta::soundfont
