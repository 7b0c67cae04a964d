#pragma once
// What a listener would measure in rendered audio: the exact frequency of a
// partial, the level, and slow periodic modulation of pitch or level.

#include <vector>

namespace corvinta::test {

inline constexpr double kRate = 44100.0;

double Rms(const std::vector<float>& x);
double Cents(double frequency, double reference);

// Magnitude of the Hann-windowed spectrum of x at `hz` (not bin-bound).
double Magnitude(const std::vector<float>& x, double hz);
// The frequency of the strongest component within `cents` of `guess`.
double PeakFrequency(const std::vector<float>& x, double guess, double cents = 60);

// A slow modulation: its rate and its depth (peak deviation from the mean).
struct Modulation {
    double hz = 0;
    double depth = 0;
};

// The component near `carrier` followed over time: its pitch in cents and
// its level in dB, sampled every `kTrackStep` points.
inline constexpr int kTrackStep = 44;
struct Track {
    std::vector<double> cents;
    std::vector<double> decibels;
};
Track FollowPartial(const std::vector<float>& x, double carrier);

// The strongest periodicity of `track` between `lowHz` and `highHz`.
Modulation StrongestModulation(const std::vector<double>& track, double lowHz, double highHz);

} // namespace corvinta::test
