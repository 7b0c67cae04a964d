// The generated sound font, rendered through FluidSynth the way the organ
// loads it: every preset at the rank table's bank and program, in tune, the
// Celeste beating, the tremulants pulsing, the Traps on the drum channel and
// a full organ that does not clip.

#include "AudioAnalysis.h"
#include "FluidRender.h"
#include "organ/OrganTables.h"
#include "organ/Settings.h"
#include "tools/soundfont/CorvintaFont.h"
#include "tools/soundfont/RankCompass.h"
#include "tools/soundfont/ToneSynth.h"
#include "tools/soundfont/TrapsKit.h"
#include "tools/soundfont/Voicing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>

using namespace corvinta;
using namespace corvinta::soundfont;
using namespace corvinta::test;

namespace {

const std::string kFont = CORVINTA_SOUNDFONT;
constexpr double kAudible = 1e-3; // RMS, about -60 dB

struct Patch {
    int rank;
    int patch;
};

std::string Describe(const Patch& p)
{
    return std::string(kRanks[p.rank].name) + " patch " + std::to_string(p.patch);
}

bool HasOwnPatch2(int rank) { return kRanks[rank].patch2 != kRanks[rank].patch1; }

// Every program the rank table asks for, but the Traps (a kit, not a pitch).
std::vector<Patch> PitchedPatches()
{
    std::vector<Patch> all;
    for (int r = 0; r < kRankCount; ++r) {
        if (r == kTrapsRank)
            continue;
        all.push_back({r, 1});
        if (HasOwnPatch2(r))
            all.push_back({r, 2});
    }
    return all;
}

bool Reiterates(const Patch& p)
{
    return std::any_of(kStruckVoicings.begin(), kStruckVoicings.end(), [&](const StruckVoicing& v) {
        return v.rank == p.rank && v.patch == p.patch && v.repeatHz > 0;
    });
}

int NoteNear(int rank, int wanted)
{
    const std::vector<int> notes = SampleNotes(rank);
    return *std::min_element(notes.begin(), notes.end(),
                             [&](int a, int b) { return std::abs(a - wanted) < std::abs(b - wanted); });
}

// Renders one held note of a preset: the organ voices the rank's channel,
// then keys it at full velocity.
Stereo Play(CFluidRender& synth, const Patch& p, int note, double seconds, int modulationWheel = 0)
{
    synth.Voice(p.rank, kRanks[p.rank].bank, ProgramOf(p.rank, p.patch));
    if (modulationWheel)
        fluid_synth_cc(synth.Synth(), p.rank, 1, modulationWheel);
    fluid_synth_noteon(synth.Synth(), p.rank, note, 127);
    return synth.Render(seconds);
}

std::vector<float> Slice(const std::vector<float>& x, double from, double length)
{
    const auto a = std::min(x.size(), size_t(from * kRate));
    const auto b = std::min(x.size(), a + size_t(length * kRate));
    return {x.begin() + long(a), x.begin() + long(b)};
}

TEST(CorvintaSoundFont, IsSmallAndLoadsWithTheDefaultBankOffset)
{
    ASSERT_TRUE(std::filesystem::exists(kFont)) << kFont;
    EXPECT_LT(std::filesystem::file_size(kFont), 30u * 1024 * 1024);
    CFluidRender synth(kFont);
    EXPECT_TRUE(synth.Loaded());
    EXPECT_EQ(fluid_synth_get_bank_offset(synth.Synth(), 1), SoundFontEntry{}.bankOffset);
}

TEST(CorvintaSoundFont, EveryRankTablePresetIsFoundAndAudible)
{
    CFluidRender synth(kFont);
    for (const Patch& p : PitchedPatches()) {
        SCOPED_TRACE(Describe(p));
        const Stereo out = Play(synth, p, NoteNear(p.rank, 66), 0.5);
        fluid_preset_t* preset = fluid_synth_get_channel_preset(synth.Synth(), p.rank);
        ASSERT_NE(preset, nullptr);
        EXPECT_EQ(fluid_preset_get_num(preset), ProgramOf(p.rank, p.patch));
        EXPECT_EQ(fluid_preset_get_banknum(preset) + SoundFontEntry{}.bankOffset, kRanks[p.rank].bank);
        EXPECT_GT(Rms(out.Mono()), kAudible);
        EXPECT_LT(out.Peak(), 1.0f);
        std::printf("%-20s patch %d: %.1f dBFS RMS\n", std::string(kRanks[p.rank].name).c_str(), p.patch,
                    20 * std::log10(Rms(out.Mono())));
        fluid_synth_all_sounds_off(synth.Synth(), -1);
    }
}

TEST(CorvintaSoundFont, EveryNoteARankCanBeAskedForSounds)
{
    CFluidRender synth(kFont);
    for (const Patch& p : PitchedPatches()) {
        const NoteSpan span = RankCompass(p.rank);
        ASSERT_FALSE(span.Empty()) << Describe(p);
        synth.Voice(p.rank, kRanks[p.rank].bank, ProgramOf(p.rank, p.patch));
        for (int note = span.low; note <= span.high; ++note) {
            fluid_synth_noteon(synth.Synth(), p.rank, note, 127);
            const Stereo out = synth.Render(0.05);
            EXPECT_GT(Rms(out.Mono()), kAudible * 0.1) << Describe(p) << " note " << note;
            fluid_synth_all_sounds_off(synth.Synth(), -1);
        }
    }
}

TEST(CorvintaSoundFont, PitchedPresetsAreInTuneAtTheirSampleNotes)
{
    CFluidRender synth(kFont);
    double worst = 0;
    for (const Patch& p : PitchedPatches()) {
        if (p.patch == 2 && IsTremmed(p.rank))
            continue; // its pitch moves by design; see the tremulant test
        const bool struck = p.rank >= 11;
        double worstHere = 0;
        for (int note : SampleNotes(p.rank)) {
            const double expected = NoteFrequency(note);
            const Stereo out = Play(synth, p, note, struck ? 0.45 : 0.6);
            fluid_synth_all_sounds_off(synth.Synth(), -1);
            const std::vector<float> steady = Slice(out.Mono(), struck ? 0.01 : 0.2, 0.4);
            const double measured = PeakFrequency(steady, expected);
            const double error = Cents(measured, expected);
            worst = std::max(worst, std::abs(error));
            worstHere = std::max(worstHere, std::abs(error));
            EXPECT_LT(std::abs(error), 5.0) << Describe(p) << " note " << note << ": " << measured << " Hz";
            // The right octave: nothing below the note. (A reiterating stroke
            // repeats every few cycles, which puts lines below it.)
            if (!Reiterates(p)) {
                EXPECT_LT(Magnitude(steady, expected / 2), 0.1 * Magnitude(steady, measured))
                    << Describe(p) << " note " << note;
            }
        }
        std::printf("%-20s patch %d: %zu sample notes, worst %.3f cents\n", std::string(kRanks[p.rank].name).c_str(),
                    p.patch, SampleNotes(p.rank).size(), worstHere);
    }
    std::printf("worst tuning error %.3f cents\n", worst);
}

// Worst jump of the waveform's slope in a steady tone, against its usual
// size: a loop that does not close on itself shows as a spike once a loop.
double ClickRatio(const std::vector<float>& x, double frequency)
{
    const auto frame = size_t(std::max(0.005 * kRate, 2 * kRate / frequency));
    std::vector<double> peaks;
    for (size_t from = 2; from + frame <= x.size(); from += frame) {
        double peak = 0;
        for (size_t i = from; i < from + frame; ++i)
            peak = std::max(peak, std::abs(double(x[i]) - 2.0 * x[i - 1] + x[i - 2]));
        peaks.push_back(peak);
    }
    std::vector<double> sorted = peaks;
    std::nth_element(sorted.begin(), sorted.begin() + long(sorted.size() / 2), sorted.end());
    return *std::max_element(peaks.begin(), peaks.end()) / sorted[sorted.size() / 2];
}

TEST(CorvintaSoundFont, LoopedSustainsDoNotClick)
{
    CFluidRender synth(kFont);
    for (const PipeVoicing& v : kPipeVoicings) {
        const std::vector<int> notes = SampleNotes(v.rank);
        for (int note : {notes.front(), NoteNear(v.rank, 60), notes.back()}) {
            const Stereo out = Play(synth, {v.rank, 1}, note, 2.3);
            fluid_synth_all_sounds_off(synth.Synth(), -1);
            // Two seconds hold several passes of every loop.
            const double ratio = ClickRatio(Slice(out.Mono(), 0.3, 2.0), NoteFrequency(note));
            EXPECT_LT(ratio, 1.5) << kRanks[v.rank].name << " note " << note;
        }
    }
}

// The first eight harmonics of a rank's steady tone at middle C, relative
// to the strongest.
std::array<double, 8> Harmonics(int rank)
{
    CFluidRender synth(kFont);
    const int note = 60;
    const std::vector<float> steady = Slice(Play(synth, {rank, 1}, note, 0.8).Mono(), 0.3, 0.5);
    std::array<double, 8> h{};
    for (int n = 1; n <= 8; ++n)
        h[n - 1] = Magnitude(steady, n * NoteFrequency(note));
    const double top = *std::max_element(h.begin(), h.end());
    for (double& v : h)
        v /= top;
    return h;
}

// Where the tone's weight lies among its harmonics: 1 for a pure fundamental.
double Brightness(const std::array<double, 8>& h)
{
    double sum = 0, weighted = 0;
    for (int n = 1; n <= 8; ++n) {
        sum += h[n - 1] * h[n - 1];
        weighted += n * h[n - 1] * h[n - 1];
    }
    return weighted / sum;
}

TEST(CorvintaSoundFont, EachRankHasTheToneOfItsName)
{
    std::map<int, std::array<double, 8>> h;
    for (const PipeVoicing& v : kPipeVoicings)
        h[v.rank] = Harmonics(v.rank);
    const int flute = 0, diapason = 1, tuba = 2, viol = 3, vox = 5, tibia = 6, clarinet = 7, oboe = 8, horn = 10;

    // Tibia: nearly pure, its little colour a third harmonic.
    EXPECT_GT(h[tibia][0], 0.99);
    EXPECT_LT(h[tibia][1], 0.05);
    EXPECT_GT(h[tibia][2], h[tibia][1]);
    EXPECT_LT(h[tibia][2], 0.2);
    // Clarinet: odd harmonics, the even ones all but missing.
    EXPECT_LT(h[clarinet][1] + h[clarinet][3] + h[clarinet][5], 0.15 * (h[clarinet][2] + h[clarinet][4] + h[clarinet][6]));
    // Thin reeds: the fundamental is not their strongest partial.
    for (int r : {oboe, horn, tuba})
        EXPECT_LT(h[r][0], 0.8) << kRanks[r].name;
    // Tibia, Flute and Diapason from the darkest up; the reeds and the string
    // all brighter than the Diapason.
    EXPECT_LT(Brightness(h[tibia]), Brightness(h[flute]));
    EXPECT_LT(Brightness(h[flute]), Brightness(h[diapason]));
    for (int r : {vox, tuba, viol, oboe})
        EXPECT_GT(Brightness(h[r]), Brightness(h[diapason])) << kRanks[r].name;
    for (auto& [rank, harmonics] : h)
        std::printf("%-20s brightness %.2f\n", std::string(kRanks[rank].name).c_str(), Brightness(harmonics));
}

TEST(CorvintaSoundFont, CelesteBeatsAgainstTheViol)
{
    CFluidRender synth(kFont);
    const int note = NoteNear(kVioleCelesteRank, 69);
    const double seconds = 4.0;
    auto alone = [&](int rank) {
        CFluidRender one(kFont);
        return PeakFrequency(Slice(Play(one, {rank, 1}, note, 1.0).Mono(), 0.2, 0.8), NoteFrequency(note));
    };
    const double viol = alone(kVioldOrchestreRank);
    const double celeste = alone(kVioleCelesteRank);
    const double sharp = Cents(celeste, viol);
    EXPECT_GT(sharp, 3.0);
    EXPECT_LT(sharp, 15.0);

    synth.Voice(kVioldOrchestreRank, kRanks[kVioldOrchestreRank].bank, kRanks[kVioldOrchestreRank].patch1);
    synth.Voice(kVioleCelesteRank, kRanks[kVioleCelesteRank].bank, kRanks[kVioleCelesteRank].patch1);
    fluid_synth_noteon(synth.Synth(), kVioldOrchestreRank, note, 127);
    fluid_synth_noteon(synth.Synth(), kVioleCelesteRank, note, 127);
    const Track track = FollowPartial(Slice(synth.Render(seconds).Mono(), 0.3, seconds), (viol + celeste) / 2);
    const Modulation beat = StrongestModulation(track.decibels, 0.3, 6.0);
    std::printf("celeste %.2f cents sharp at note %d: beats %.2f Hz (expected %.2f), depth %.1f dB\n", sharp, note,
                beat.hz, celeste - viol, beat.depth);
    EXPECT_NEAR(beat.hz, celeste - viol, 0.25 * (celeste - viol));
    EXPECT_GT(beat.depth, 6.0);
}

struct TremCase {
    int rank;
    int patch;
    int modulationWheel;
    bool pulses;
};

class Tremulant : public ::testing::TestWithParam<TremCase> {};

TEST_P(Tremulant, PulsesInPitchAndLevelOnlyWhenOn)
{
    const TremCase c = GetParam();
    CFluidRender synth(kFont);
    const int note = NoteNear(c.rank, 67);
    const double f = NoteFrequency(note);
    const Stereo out = Play(synth, {c.rank, c.patch}, note, 2.5, c.modulationWheel);
    const Track track = FollowPartial(Slice(out.Mono(), 0.4, 2.0), f);
    const Modulation pitch = StrongestModulation(track.cents, 2.0, 15.0);
    const Modulation level = StrongestModulation(track.decibels, 2.0, 15.0);
    std::printf("%s patch %d wheel %d: pitch %.2f Hz +-%.1f cents, level %.2f Hz +-%.2f dB\n",
                std::string(kRanks[c.rank].name).c_str(), c.patch, c.modulationWheel, pitch.hz, pitch.depth, level.hz,
                level.depth);
    if (c.pulses) {
        EXPECT_GT(pitch.hz, 5.0);
        EXPECT_LT(pitch.hz, 8.0);
        EXPECT_GT(pitch.depth, 8.0);
        EXPECT_GT(level.hz, 5.0);
        EXPECT_LT(level.hz, 8.0);
        EXPECT_GT(level.depth, 1.0);
        EXPECT_NEAR(pitch.hz, level.hz, 0.3);
    } else {
        EXPECT_LT(pitch.depth, 1.0);
        EXPECT_LT(level.depth, 0.2);
    }
}

std::vector<TremCase> TremCases()
{
    std::vector<TremCase> cases;
    for (int r = 0; r < kRankCount; ++r) {
        if (!IsTremmed(r))
            continue;
        const int depth = kRanks[r].modulationDepth;
        cases.push_back({r, 1, 0, false});
        if (HasOwnPatch2(r))
            cases.push_back({r, 2, 0, true});
        // The other tremulant method: patch 1 with the modulation wheel.
        cases.push_back({r, 1, depth, true});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(TremmedRanks, Tremulant, ::testing::ValuesIn(TremCases()),
                         [](const ::testing::TestParamInfo<TremCase>& info) {
                             std::string name = "rank" + std::to_string(info.param.rank) + "_patch" +
                                                std::to_string(info.param.patch);
                             return info.param.modulationWheel ? name + "_wheel" : name;
                         });

TEST(CorvintaSoundFont, TrapsSoundOnTheDrumChannelWithoutAProgramChange)
{
    // The organ never sends bank or program to channel 10; the kit must be
    // there as loaded, after the channel's program is looked up again, and
    // on a melodic channel given the rank's own bank and program.
    const int channel = kTrapsRank;
    const int melodic = 0;
    for (int route = 0; route < 3; ++route) {
        CFluidRender synth(kFont);
        int on = channel;
        if (route == 1)
            fluid_synth_program_reset(synth.Synth());
        if (route == 2) {
            on = melodic;
            synth.Voice(melodic, kRanks[kTrapsRank].bank, kRanks[kTrapsRank].patch1);
        }
        std::set<long> distinct;
        for (int note : TrapNotes()) {
            SCOPED_TRACE("route " + std::to_string(route) + " note " + std::to_string(note));
            fluid_synth_noteon(synth.Synth(), on, note, 127);
            const Stereo out = synth.Render(0.3);
            fluid_synth_noteoff(synth.Synth(), on, note);
            synth.Render(0.2);
            fluid_synth_all_sounds_off(synth.Synth(), -1);
            // Peak, not RMS: the piston click is over in a few milliseconds.
            EXPECT_GT(out.Peak(), 0.01f);
            EXPECT_LT(out.Peak(), 1.0f);
            distinct.insert(std::lround(Rms(out.Mono()) * 1e6));
        }
        EXPECT_EQ(distinct.size(), TrapNotes().size()) << "every trap note is its own sound";
    }
}

TEST(CorvintaSoundFont, TrapNotesAreTheConsolesFixedNotesEffectsAndPistonClick)
{
    const std::vector<int> notes = TrapNotes();
    for (int n : {36, 38, 41, 49, 50, 51, 54, 76, 81, 85, 77, 78, 88, 89, 90, 91, ConsoleSettings{}.pistonSound})
        EXPECT_TRUE(std::find(notes.begin(), notes.end(), n) != notes.end()) << n;
    EXPECT_EQ(notes.size(), 17u);
}

// All stops drawn but the unison-off coupler, tremulants as given, ten keys
// on each manual and a pedal note: the rank notes the organ then sounds.
std::set<std::pair<int, int>> FullOrganNotes()
{
    const std::vector<std::pair<int, std::vector<int>>> keys{
        {0, {48, 52, 55, 60, 64, 67, 72, 76, 79, 84}},
        {2, {41, 45, 48, 53, 57, 60, 65, 69, 72, 77}},
        {4, {36}},
    };
    std::set<std::pair<int, int>> sounding;
    for (const auto& [d, held] : keys) {
        std::vector<std::pair<int, int>> reached{{d, 0}};
        for (int i = 0; i < kDivisions[d].stopCount; ++i) {
            const StopDefinition& s = kStops[StopItem(d, i)];
            if (s.kind == StopKind::CouplerStop && !s.unisonOff)
                reached.emplace_back(s.rankOrDivision, s.pitchOrNote);
        }
        for (auto [e, transposition] : reached)
            for (int i = 0; i < kDivisions[e].stopCount; ++i) {
                const StopDefinition& s = kStops[StopItem(e, i)];
                for (int key : held) {
                    if (s.kind == StopKind::RankStop || s.kind == StopKind::PatchSwitchStop)
                        for (int j = 0; j < s.ranks; ++j)
                            if (key + transposition + s.pitchOrNote < 128)
                                sounding.insert({s.rankOrDivision + j, key + transposition + s.pitchOrNote});
                    if (s.kind == StopKind::FixedNoteStop && (e == d || e == kDivisions[d].secondTouchDivision))
                        sounding.insert({s.rankOrDivision, s.pitchOrNote});
                }
            }
    }
    return sounding;
}

class FullOrgan : public ::testing::TestWithParam<bool> {};

TEST_P(FullOrgan, DoesNotClipAtTheDefaultGain)
{
    const bool tremulants = GetParam();
    const SynthSettings defaults;
    CFluidRender synth(kFont, {.gain = defaults.gain, .reverb = defaults.reverbOn});
    fluid_synth_set_reverb_group_roomsize(synth.Synth(), -1, defaults.reverbRoomSize);
    fluid_synth_set_reverb_group_damp(synth.Synth(), -1, defaults.reverbDamping);
    fluid_synth_set_reverb_group_width(synth.Synth(), -1, defaults.reverbWidth);
    fluid_synth_set_reverb_group_level(synth.Synth(), -1, defaults.reverbLevel);
    for (int r = 0; r < kRankCount; ++r) {
        const bool patch2 = r == 11 || r == 14 || (tremulants && IsTremmed(r)); // the switch tabs are drawn too
        fluid_synth_cc(synth.Synth(), r, 7, kRanks[r].volume);
        fluid_synth_cc(synth.Synth(), r, 10, kRanks[r].pan);
        if (r != kTrapsRank)
            synth.Voice(r, kRanks[r].bank, patch2 ? kRanks[r].patch2 : kRanks[r].patch1);
    }
    const auto notes = FullOrganNotes();
    for (auto [rank, note] : notes)
        fluid_synth_noteon(synth.Synth(), rank, note, 127);
    float peak = 0;
    for (int block = 0; block < 30; ++block)
        peak = std::max(peak, synth.Render(0.1).Peak());
    std::printf("full organ (%zu rank notes, tremulants %s): peak %.3f\n", notes.size(), tremulants ? "on" : "off",
                peak);
    EXPECT_LT(peak, 1.0f);
    EXPECT_GT(peak, 0.1f);
}

INSTANTIATE_TEST_SUITE_P(Tremulants, FullOrgan, ::testing::Values(false, true));

} // namespace
