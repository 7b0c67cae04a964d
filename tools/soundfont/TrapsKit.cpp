#include "tools/soundfont/TrapsKit.h"

#include "organ/OrganTables.h"
#include "organ/Settings.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <numbers>
#include <stdexcept>

namespace corvinta::soundfont {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr double kRate = kSampleRate;

using Signal = std::vector<float>;

size_t Points(double seconds) { return size_t(seconds * kRate); }

// Resonant band-pass (constant peak gain), for drum heads, shells and jingles.
struct BandPass {
    BandPass(double hz, double q)
    {
        const double w = kTwoPi * hz / kRate, alpha = std::sin(w) / (2 * q), a0 = 1 + alpha;
        b0 = alpha / a0;
        b2 = -alpha / a0;
        a1 = -2 * std::cos(w) / a0;
        a2 = (1 - alpha) / a0;
    }
    float operator()(float x)
    {
        const double y = b0 * x + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return float(y);
    }
    double b0, b2, a1, a2, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

struct HighPass {
    explicit HighPass(double hz) : k(std::exp(-kTwoPi * hz / kRate)) {}
    float operator()(float x)
    {
        low = k * low + (1 - k) * x;
        return float(x - low);
    }
    double k, low = 0;
};

double Decay(double t, double t60) { return std::exp(-6.9078 * t / t60); }

class Kit {
public:
    explicit Kit(std::mt19937& random) : m_random(random) {}

    float Noise() { return m_noise(m_random); }

    // A sine whose frequency glides from `from` to `to` (a struck head settling).
    void Sweep(Signal& s, double from, double to, double glide, double t60, double level, size_t at = 0)
    {
        double phase = 0;
        for (size_t i = at; i < s.size(); ++i) {
            const double t = double(i - at) / kRate;
            phase += kTwoPi * (to + (from - to) * std::exp(-t / glide)) / kRate;
            s[i] += float(level * Decay(t, t60) * std::sin(phase));
        }
    }
    void NoiseBand(Signal& s, double hz, double q, double t60, double level, size_t at = 0, double length = 1e9)
    {
        BandPass band(hz, q);
        const size_t end = std::min(s.size(), at + Points(length));
        for (size_t i = at; i < end; ++i)
            s[i] += float(level * Decay(double(i - at) / kRate, t60) * band(Noise()));
    }
    void Metal(Signal& s, const std::vector<double>& partials, double t60, double level, size_t at = 0)
    {
        for (double hz : partials) {
            const double phase = std::uniform_real_distribution<double>(0, kTwoPi)(m_random);
            for (size_t i = at; i < s.size(); ++i) {
                const double t = double(i - at) / kRate;
                s[i] += float(level * Decay(t, t60 * 2000 / (hz + 2000)) * std::sin(phase + kTwoPi * hz * t));
            }
        }
    }
    void Click(Signal& s, double hz, double q, double level, size_t at = 0)
    {
        BandPass band(hz, q);
        for (size_t i = at; i < s.size(); ++i)
            s[i] += float(level * band(i - at < 40 ? Noise() : 0.f));
    }

private:
    std::mt19937& m_random;
    std::normal_distribution<float> m_noise{0.f, 1.f};
};

// Turns `s` into a seamless loop: its last `fade` points are blended into its
// start, and the loop runs from `fade` to the end.
Tone Looped(Signal s, double fadeSeconds)
{
    const size_t fade = Points(fadeSeconds);
    const size_t length = s.size() - fade;
    for (size_t j = 0; j < fade; ++j) {
        const float w = float(j) / fade;
        s[length + j] = s[length + j] * (1 - w) + s[j] * w;
    }
    Tone t;
    t.loopStart = uint32_t(fade);
    t.loopEnd = uint32_t(s.size());
    for (size_t j = 0; j < 8; ++j)
        s.push_back(s[fade + j]);
    t.data = std::move(s);
    return t;
}

Tone OneShot(Signal s)
{
    const size_t fade = std::min<size_t>(s.size() / 10, Points(0.05));
    for (size_t i = 0; i < fade; ++i)
        s[s.size() - 1 - i] *= float(i) / fade;
    Tone t;
    t.data = std::move(s);
    return t;
}

// A tone whose frequency follows `pitch` (Hz at time t over one cycle of the
// loop) with the carrier's phase closing exactly at the loop's end.
Tone GlidingLoop(double seconds, const std::function<double(double)>& pitch, const std::vector<double>& harmonics)
{
    const size_t n = Points(seconds);
    std::vector<double> phase(n + 1, 0.0);
    for (size_t i = 0; i < n; ++i)
        phase[i + 1] = phase[i] + pitch(double(i) / n) / kRate;
    const double scale = std::max(1.0, std::round(phase[n])) / phase[n];
    Signal s(n, 0.f);
    for (size_t i = 0; i < n; ++i)
        for (size_t h = 0; h < harmonics.size(); ++h)
            s[i] += float(harmonics[h] * std::sin(kTwoPi * (h + 1) * phase[i] * scale));
    Tone t;
    t.loopStart = 0;
    t.loopEnd = uint32_t(n);
    for (size_t j = 0; j < 8; ++j)
        s.push_back(s[j]);
    t.data = std::move(s);
    return t;
}

// What each note of the kit is: the fixed-note stops' and toe studs' notes
// mean the instruments their tabs name.
using Maker = std::function<Tone(Kit&)>;
struct Recipe {
    std::string_view name;
    Maker make;
    double release;
};

std::map<int, Recipe> Recipes()
{
    std::map<int, Recipe> r;
    r[36] = {"Bass Drum", [](Kit& k) {
                 Signal s(Points(0.9), 0.f);
                 k.Sweep(s, 110, 52, 0.03, 0.7, 1.0);
                 k.NoiseBand(s, 300, 1.0, 0.05, 0.4);
                 return OneShot(s);
             }, 0.3};
    r[38] = {"Snare Drum", [](Kit& k) {
                 Signal s(Points(0.5), 0.f);
                 k.Sweep(s, 240, 185, 0.01, 0.15, 0.7);
                 HighPass hp(1500);
                 for (size_t i = 0; i < s.size(); ++i)
                     s[i] += float(0.6 * Decay(double(i) / kRate, 0.3) * hp(k.Noise()));
                 return OneShot(s);
             }, 0.2};
    r[41] = {"Kettle Drum", [](Kit& k) {
                 Signal s(Points(2.5), 0.f);
                 for (auto [ratio, level] : {std::pair{1.0, 1.0}, {1.5, 0.6}, {1.98, 0.4}, {2.44, 0.25}})
                     k.Sweep(s, 87.3 * ratio * 1.02, 87.3 * ratio, 0.02, 2.2 / ratio, level);
                 k.NoiseBand(s, 400, 0.8, 0.08, 0.3);
                 return OneShot(s);
             }, 0.8};
    r[49] = {"Crash Cymbal", [](Kit& k) {
                 Signal s(Points(3.0), 0.f);
                 HighPass hp(3000);
                 for (size_t i = 0; i < s.size(); ++i)
                     s[i] += float(0.8 * Decay(double(i) / kRate, 2.8) * hp(k.Noise()));
                 k.Metal(s, {420, 605, 1150, 1780, 2630, 3490, 5120}, 2.5, 0.08);
                 return OneShot(s);
             }, 1.0};
    r[50] = {"Tom Tom", [](Kit& k) {
                 Signal s(Points(0.7), 0.f);
                 k.Sweep(s, 190, 140, 0.04, 0.5, 1.0);
                 k.NoiseBand(s, 600, 1.0, 0.06, 0.3);
                 return OneShot(s);
             }, 0.3};
    r[51] = {"Cymbal", [](Kit& k) {
                 Signal s(Points(1.8), 0.f);
                 HighPass hp(5000);
                 for (size_t i = 0; i < s.size(); ++i)
                     s[i] += float(0.5 * Decay(double(i) / kRate, 1.5) * hp(k.Noise()));
                 k.Metal(s, {520, 1230, 2890, 4170, 6020}, 1.6, 0.1);
                 return OneShot(s);
             }, 0.6};
    r[54] = {"Tambourine", [](Kit& k) {
                 Signal s(Points(0.6), 0.f);
                 for (double at : {0.0, 0.012, 0.03})
                     for (double hz : {6800.0, 8300.0, 9900.0})
                         k.NoiseBand(s, hz, 6, 0.35, 0.6, Points(at));
                 k.Click(s, 400, 2, 0.5);
                 return OneShot(s);
             }, 0.3};
    r[76] = {"Wood Block", [](Kit& k) {
                 Signal s(Points(0.25), 0.f);
                 k.Sweep(s, 1000, 980, 0.01, 0.12, 1.0);
                 k.Sweep(s, 2520, 2500, 0.01, 0.06, 0.35);
                 k.Click(s, 2000, 3, 0.4);
                 return OneShot(s);
             }, 0.1};
    r[77] = {"Horse Hooves", [](Kit& k) {
                 // Clip-clop while the stud is held.
                 Signal s(Points(0.8), 0.f);
                 for (auto [at, hz] : {std::pair{0.0, 700.0}, {0.14, 560.0}, {0.4, 720.0}, {0.53, 580.0}}) {
                     k.Sweep(s, hz * 1.1, hz, 0.005, 0.06, 1.0, Points(at));
                     k.Click(s, hz * 2.5, 2, 0.5, Points(at));
                 }
                 return Tone{s, 0, uint32_t(s.size()), 0};
             }, 0.05};
    r[78] = {"Siren", [](Kit&) {
                 return GlidingLoop(3.0, [](double x) { return 450 + 550 * std::sin(std::numbers::pi * x); },
                                    {1.0, 0.25, 0.1});
             }, 0.6};
    r[81] = {"Triangle", [](Kit& k) {
                 Signal s(Points(2.5), 0.f);
                 k.Metal(s, {1830, 4370, 5120, 6980, 8240}, 3.0, 0.3);
                 return OneShot(s);
             }, 1.0};
    r[85] = {"Castanets", [](Kit& k) {
                 Signal s(Points(0.2), 0.f);
                 k.Click(s, 2600, 4, 1.0);
                 k.Click(s, 2300, 4, 0.8, Points(0.035));
                 return OneShot(s);
             }, 0.1};
    r[88] = {"Bird Whistle", [](Kit&) {
                 return GlidingLoop(1.0, [](double x) { return 2900 + 500 * std::sin(kTwoPi * 14 * x); }, {1.0, 0.05});
             }, 0.1};
    r[89] = {"Auto Horn", [](Kit& k) {
                 Signal s(Points(1.0), 0.f);
                 for (double hz : {349.2, 440.0}) {
                     const std::vector<double> reed{1.0, 0.7, 0.5, 0.4, 0.3, 0.25, 0.2};
                     for (size_t h = 0; h < reed.size(); ++h)
                         k.Sweep(s, hz * (h + 1), hz * (h + 1), 1, 1e9, reed[h] / (h + 1));
                 }
                 return Looped(s, 0.1);
             }, 0.08};
    r[90] = {"Door Bell", [](Kit& k) {
                 // An electric bell: its hammer strikes about twenty times a second.
                 Signal s(Points(1.0), 0.f);
                 for (int i = 0; i < 20; ++i)
                     k.Metal(s, {1320, 3640, 6900}, 0.6, 0.3, Points(i * 0.05));
                 return Looped(s, 0.1);
             }, 0.5};
    r[91] = {"Boat Whistle", [](Kit& k) {
                 Signal s(Points(1.2), 0.f);
                 for (double hz : {262.0, 330.0, 392.0})
                     k.Sweep(s, hz, hz, 1, 1e9, 0.5);
                 k.NoiseBand(s, 1200, 1.5, 1e9, 0.4);
                 return Looped(s, 0.15);
             }, 0.3};
    r[kPistonClickNote] = {"Piston Click", [](Kit& k) {
                               // The action's short wooden clack.
                               Signal s(Points(0.06), 0.f);
                               k.Sweep(s, 2200, 2200, 1, 0.03, 1.0);
                               k.Sweep(s, 3400, 3400, 1, 0.02, 0.5);
                               k.Click(s, 3000, 2, 0.5);
                               return OneShot(s);
                           }, 0.02};
    return r;
}

} // namespace

std::vector<int> TrapNotes()
{
    std::vector<int> notes{ConsoleSettings{}.pistonSound};
    for (const StopDefinition& s : kStops)
        if ((s.kind == StopKind::FixedNoteStop || s.kind == StopKind::EffectStop) && s.rankOrDivision == kTrapsRank)
            notes.push_back(s.pitchOrNote);
    std::sort(notes.begin(), notes.end());
    notes.erase(std::unique(notes.begin(), notes.end()), notes.end());
    return notes;
}

std::vector<TrapSound> BuildTrapsKit(std::mt19937& random)
{
    const std::map<int, Recipe> recipes = Recipes();
    Kit kit(random);
    std::vector<TrapSound> sounds;
    for (int note : TrapNotes()) {
        auto it = recipes.find(note);
        if (it == recipes.end())
            throw std::logic_error("the Traps rank has no sound for note " + std::to_string(note));
        sounds.push_back({note, it->second.name, it->second.make(kit), it->second.release});
    }
    return sounds;
}

} // namespace corvinta::soundfont
