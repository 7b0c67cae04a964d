#pragma once
// Synthesis of the font's samples: looped pipe tones whose loop holds a
// whole number of cycles of every partial (so the sustain never clicks and
// the pitch is exact), and struck tones, single or reiterating.

#include "tools/soundfont/Voicing.h"

#include <cstdint>
#include <random>
#include <vector>

namespace corvinta::soundfont {

struct Tone {
    std::vector<float> data;
    uint32_t loopStart = 0;
    uint32_t loopEnd = 0; // equal to loopStart when the tone does not loop
    double frequency = 0; // the true frequency of the first partial
};

double NoteFrequency(double note);

// `highestShift`: how many semitones above its root the sample may be played;
// partials that would then pass the audible band are left out.
Tone PipeTone(const PipeVoicing& voicing, int note, double highestShift, std::mt19937& random);
Tone StruckTone(const StruckVoicing& voicing, int note, double highestShift, std::mt19937& random);

// The loop length (in points) near `seconds` that holds a whole number of
// cycles of `frequency` most exactly, and that number of cycles.
struct Loop {
    uint32_t length;
    uint32_t cycles;
};
Loop ExactLoop(double frequency, double minSeconds, double maxSeconds);

// Scales to 16 bits with the peak at `peak` of full scale.
std::vector<int16_t> ToPcm(const std::vector<float>& data, double peak = 0.9);

} // namespace corvinta::soundfont
