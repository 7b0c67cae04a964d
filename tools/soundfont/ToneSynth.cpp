#include "tools/soundfont/ToneSynth.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace corvinta::soundfont {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
// Partials stay below this, after the sample is played at its highest pitch.
constexpr double kBandTop = 18000.0;
// Points after a loop's end that repeat its start, for the player's interpolation.
constexpr uint32_t kLoopGuard = 8;

// Adds amplitude * sin(phase + 2 pi f t) over [from, from + count).
void AddPartial(std::vector<float>& out, size_t from, size_t count, double frequency, double amplitude, double phase,
                double decaySeconds = 0)
{
    const std::complex<double> step = std::polar(1.0, kTwoPi * frequency / kSampleRate);
    std::complex<double> z = std::polar(1.0, phase);
    const double fall = decaySeconds > 0 ? std::exp(-6.9078 / (decaySeconds * kSampleRate)) : 1.0;
    double a = amplitude;
    for (size_t i = 0; i < count; ++i) {
        out[from + i] += float(a * z.imag());
        z *= step;
        a *= fall;
        if ((i & 1023) == 0)
            z /= std::abs(z);
    }
}

// A partial whose level drifts a little, as wind and pipe never hold quite
// still; the drift repeats `cycles` times over the loop so that the loop
// still closes on itself.
void AddLivelyPartial(std::vector<float>& out, double frequency, double amplitude, double phase, uint32_t loopLength,
                      int cycles, double drift, double driftPhase)
{
    const std::complex<double> step = std::polar(1.0, kTwoPi * frequency / kSampleRate);
    const std::complex<double> driftStep = std::polar(1.0, kTwoPi * cycles / loopLength);
    std::complex<double> z = std::polar(1.0, phase), w = std::polar(1.0, driftPhase);
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] += float(amplitude * (1.0 + drift * w.imag()) * z.imag());
        z *= step;
        w *= driftStep;
        if ((i & 1023) == 0) {
            z /= std::abs(z);
            w /= std::abs(w);
        }
    }
}

double FormantGain(const PipeVoicing& v, double frequency)
{
    if (v.formantHz <= 0)
        return 1.0;
    const double octaves = std::log2(frequency / v.formantHz) / v.formantOctaves;
    return 1.0 + v.formantBoost * std::exp(-0.5 * octaves * octaves);
}

double PartialAmplitude(const PipeVoicing& v, int n)
{
    if (n <= 12)
        return v.harmonics[n - 1];
    return v.harmonics[11] * std::pow(12.0 / n, v.tailSlope) * (n % 2 == 0 ? v.tailEven : 1.0);
}

double Limit(double highestShift) { return kBandTop / std::pow(2.0, highestShift / 12.0); }

} // namespace

double NoteFrequency(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

Loop ExactLoop(double frequency, double minSeconds, double maxSeconds)
{
    Loop best{0, 0};
    double bestError = 1e9;
    const auto lo = uint32_t(minSeconds * kSampleRate);
    const auto hi = uint32_t(maxSeconds * kSampleRate);
    for (uint32_t length = lo; length <= hi; ++length) {
        const double cycles = std::max(1.0, std::round(frequency * length / kSampleRate));
        const double error = std::abs(std::log2(cycles * kSampleRate / (length * frequency)));
        if (error < bestError) {
            bestError = error;
            best = {length, uint32_t(cycles)};
        }
    }
    return best;
}

Tone PipeTone(const PipeVoicing& v, int note, double highestShift, std::mt19937& random)
{
    const double f0 = NoteFrequency(note);
    // A longer loop for low pipes keeps their few cycles from sounding mechanical.
    const Loop loop = ExactLoop(f0, f0 < 100 ? 0.4 : 0.25, f0 < 100 ? 0.6 : 0.4);
    const double f = double(loop.cycles) * kSampleRate / loop.length;
    const auto onset = uint32_t(0.06 * kSampleRate);

    Tone tone;
    tone.frequency = f;
    tone.loopStart = onset;
    tone.loopEnd = onset + loop.length;
    tone.data.assign(tone.loopEnd + kLoopGuard, 0.f);
    std::uniform_real_distribution<double> phase(0, kTwoPi);
    std::uniform_int_distribution<int> driftCycles(1, 3);
    const double limit = Limit(highestShift);
    for (int n = 1; n <= v.highestPartial && n * f < limit; ++n) {
        const double a = PartialAmplitude(v, n) * FormantGain(v, n * f);
        if (a > 0)
            AddLivelyPartial(tone.data, n * f, a, phase(random), loop.length, driftCycles(random), n == 1 ? 0.01 : 0.04,
                             phase(random));
    }
    // The chiff: a short breath of noise as the pipe speaks, gone before the loop.
    if (v.chiff > 0) {
        float peak = 0;
        for (float x : tone.data)
            peak = std::max(peak, std::abs(x));
        std::normal_distribution<float> noise(0, 1);
        float low = 0;
        const double smooth = std::exp(-kTwoPi * std::min(6.0 * f, 8000.0) / kSampleRate);
        for (uint32_t i = 0; i < onset; ++i) {
            low = float(smooth * low + (1 - smooth) * noise(random));
            const double env = std::sin(std::numbers::pi * i / onset);
            tone.data[i] += float(v.chiff * peak * 3.0 * env * env * low);
        }
    }
    return tone;
}

Tone StruckTone(const StruckVoicing& v, int note, double highestShift, std::mt19937& random)
{
    const double f0 = NoteFrequency(note);
    const double middleC = NoteFrequency(60);
    const double decay = v.decay * std::pow(middleC / f0, 0.5);
    std::uniform_real_distribution<double> jitter(-0.15, 0.15);
    std::normal_distribution<float> noise(0, 1);

    // One stroke: the partials from phase zero, each decaying on its own,
    // and a short noise of the mallet.
    auto stroke = [&](std::vector<float>& out, size_t from, size_t count, double strokeDecay, double level) {
        const double limit = Limit(highestShift);
        for (size_t k = 0; k < v.ratios.size(); ++k) {
            const double fk = f0 * v.ratios[k];
            if (v.amplitudes[k] <= 0 || fk >= limit)
                continue;
            AddPartial(out, from, count, fk, level * v.amplitudes[k], 0,
                       strokeDecay / std::pow(v.ratios[k], v.decaySlope));
        }
        const size_t clickLength = std::min<size_t>(count, kSampleRate / 200);
        float previous = 0;
        for (size_t i = 0; i < clickLength; ++i) {
            const float x = noise(random);
            const double env = 1.0 - double(i) / clickLength;
            out[from + i] += float(level * v.mallet * env * env * (x - previous));
            previous = x;
        }
        // A hammer touches the bar over a millisecond or two, not instantly.
        const size_t ramp = std::min<size_t>(count, kSampleRate / 1000);
        for (size_t i = 0; i < ramp; ++i)
            out[from + i] *= float(i) / ramp;
    };

    Tone tone;
    tone.frequency = f0;
    if (v.repeatHz <= 0) {
        const double seconds = std::clamp(v.length * std::pow(middleC / f0, 0.4), 0.3, 4.0);
        tone.data.assign(size_t(seconds * kSampleRate), 0.f);
        stroke(tone.data, 0, tone.data.size(), decay, 1.0);
        const size_t fade = tone.data.size() / 8;
        for (size_t i = 0; i < fade; ++i)
            tone.data[tone.data.size() - 1 - i] *= float(i) / fade;
        tone.loopStart = tone.loopEnd = 0;
        return tone;
    }

    // Reiterating: every stroke lasts a whole number of cycles of the note, so
    // the repeated strokes keep its pitch exact; the loop is one stroke.
    const double wanted = f0 / v.repeatHz;
    uint32_t period = 0;
    double bestError = 1e9;
    for (int cycles = std::max(1, int(wanted * 0.85)); cycles <= int(wanted * 1.15) + 1; ++cycles) {
        const double exact = cycles * kSampleRate / f0;
        const double error = std::abs(std::log2(std::round(exact) / exact));
        if (error < bestError) {
            bestError = error;
            period = uint32_t(std::round(exact));
        }
    }
    const double strokeDecay = std::min(decay, 1.5 * period / kSampleRate);
    tone.data.assign(2 * period + kLoopGuard, 0.f);
    for (int s = 0; s < 2; ++s) {
        stroke(tone.data, s * period, period, strokeDecay, s == 0 ? 1.0 : 0.9 + jitter(random) * 0.2);
        const size_t fade = kSampleRate / 400;
        for (size_t i = 0; i < fade; ++i)
            tone.data[(s + 1) * period - 1 - i] *= float(i) / fade;
    }
    std::copy_n(tone.data.begin() + period, kLoopGuard, tone.data.begin() + 2 * period);
    tone.loopStart = period;
    tone.loopEnd = 2 * period;
    return tone;
}

std::vector<int16_t> ToPcm(const std::vector<float>& data, double peak)
{
    float top = 1e-9f;
    for (float x : data)
        top = std::max(top, std::abs(x));
    const double scale = peak * 32767.0 / top;
    std::vector<int16_t> pcm(data.size());
    for (size_t i = 0; i < data.size(); ++i)
        pcm[i] = int16_t(std::lround(std::clamp(data[i] * scale, -32767.0, 32767.0)));
    return pcm;
}

} // namespace corvinta::soundfont
