#include "AudioAnalysis.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace corvinta::test {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

double Hann(size_t i, size_t n) { return 0.5 - 0.5 * std::cos(kTwoPi * (double(i) + 0.5) / double(n)); }

// Golden-section search for the maximum of f over [a, b].
template <typename F>
double Maximise(F f, double a, double b)
{
    const double g = (std::sqrt(5.0) - 1) / 2;
    double c = b - g * (b - a), d = a + g * (b - a);
    double fc = f(c), fd = f(d);
    for (int i = 0; i < 40; ++i) {
        if (fc > fd) {
            b = d;
            d = c;
            fd = fc;
            c = b - g * (b - a);
            fc = f(c);
        } else {
            a = c;
            c = d;
            fc = fd;
            d = a + g * (b - a);
            fd = f(d);
        }
    }
    return (a + b) / 2;
}

} // namespace

double Rms(const std::vector<float>& x)
{
    double sum = 0;
    for (float v : x)
        sum += double(v) * v;
    return x.empty() ? 0 : std::sqrt(sum / double(x.size()));
}

double Cents(double frequency, double reference) { return 1200.0 * std::log2(frequency / reference); }

namespace {

double WindowedMagnitude(const std::vector<double>& windowed, double hz)
{
    const std::complex<double> step = std::polar(1.0, -kTwoPi * hz / kRate);
    std::complex<double> z = 1, sum = 0;
    for (size_t i = 0; i < windowed.size(); ++i) {
        sum += windowed[i] * z;
        z *= step;
    }
    return std::abs(sum) / double(windowed.size());
}

std::vector<double> Windowed(const std::vector<float>& x)
{
    std::vector<double> w(x.size());
    for (size_t i = 0; i < x.size(); ++i)
        w[i] = Hann(i, x.size()) * double(x[i]);
    return w;
}

} // namespace

double Magnitude(const std::vector<float>& x, double hz) { return WindowedMagnitude(Windowed(x), hz); }

double PeakFrequency(const std::vector<float>& x, double guess, double cents)
{
    const std::vector<double> w = Windowed(x);
    // A coarse scan finds the right lobe; the search then pins its top.
    const int points = 48;
    double best = guess, bestMagnitude = -1;
    for (int i = 0; i <= points; ++i) {
        const double hz = guess * std::pow(2.0, cents * (2.0 * i / points - 1) / 1200.0);
        const double m = WindowedMagnitude(w, hz);
        if (m > bestMagnitude) {
            bestMagnitude = m;
            best = hz;
        }
    }
    const double width = guess * (std::pow(2.0, 2 * cents / points / 1200.0) - 1);
    return Maximise([&](double hz) { return WindowedMagnitude(w, hz); }, best - width, best + width);
}

Track FollowPartial(const std::vector<float>& x, double carrier)
{
    // Shift the partial to 0 Hz and average over two of its periods, which
    // removes every other partial of the tone.
    const auto window = size_t(std::max(2.0, std::round(2 * kRate / carrier)));
    const std::complex<double> step = std::polar(1.0, -kTwoPi * carrier / kRate);
    std::vector<std::complex<double>> shifted(x.size());
    std::complex<double> z = 1;
    for (size_t i = 0; i < x.size(); ++i) {
        shifted[i] = double(x[i]) * z;
        z *= step;
    }
    std::vector<std::complex<double>> smooth;
    std::complex<double> running = 0;
    for (size_t i = 0; i < shifted.size(); ++i) {
        running += shifted[i];
        if (i >= window)
            running -= shifted[i - window];
        if (i >= window && (i - window) % kTrackStep == 0)
            smooth.push_back(running / double(window));
    }
    Track t;
    for (size_t i = 1; i < smooth.size(); ++i) {
        const double turn = std::arg(smooth[i] * std::conj(smooth[i - 1]));
        const double hz = carrier + turn * kRate / (kTwoPi * kTrackStep);
        t.cents.push_back(Cents(std::max(hz, 1e-3), carrier));
        t.decibels.push_back(20 * std::log10(std::abs(smooth[i]) + 1e-12));
    }
    return t;
}

Modulation StrongestModulation(const std::vector<double>& track, double lowHz, double highHz)
{
    const double rate = kRate / kTrackStep;
    double mean = 0;
    for (double v : track)
        mean += v;
    mean /= double(track.size());
    double windowSum = 0;
    for (size_t i = 0; i < track.size(); ++i)
        windowSum += Hann(i, track.size());
    auto at = [&](double hz) {
        const std::complex<double> step = std::polar(1.0, -kTwoPi * hz / rate);
        std::complex<double> z = 1, sum = 0;
        for (size_t i = 0; i < track.size(); ++i) {
            sum += Hann(i, track.size()) * (track[i] - mean) * z;
            z *= step;
        }
        return 2 * std::abs(sum) / windowSum;
    };
    Modulation best;
    for (double hz = lowHz; hz <= highHz; hz += 0.05) {
        const double depth = at(hz);
        if (depth > best.depth)
            best = {hz, depth};
    }
    best.hz = Maximise(at, best.hz - 0.05, best.hz + 0.05);
    best.depth = at(best.hz);
    return best;
}

} // namespace corvinta::test
