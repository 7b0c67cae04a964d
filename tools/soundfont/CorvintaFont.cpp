#include "tools/soundfont/CorvintaFont.h"

#include "organ/OrganTables.h"
#include "organ/Settings.h"
#include "tools/soundfont/RankCompass.h"
#include "tools/soundfont/ToneSynth.h"
#include "tools/soundfont/TrapsKit.h"
#include "tools/soundfont/Voicing.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

namespace corvinta::soundfont {

namespace {

using sf2::Gen;
using sf2::Zone;

bool IsPipeRank(int rank)
{
    return std::any_of(kPipeVoicings.begin(), kPipeVoicings.end(), [&](const PipeVoicing& v) { return v.rank == rank; });
}

int Spacing(int rank) { return IsPipeRank(rank) ? kPipeSampleSpacing : kStruckSampleSpacing; }

// Controller 1, linear, unipolar, rising: the modulator source of the wheel.
constexpr uint16_t kModulationWheel = 0x0081;

int TimeCents(double seconds) { return int(std::lround(1200.0 * std::log2(seconds))); }
int AbsoluteCents(double hz) { return int(std::lround(1200.0 * std::log2(hz / 8.176))); }

// Lowest note a sample serves, relative to its root.
int Below(int spacing) { return (spacing - 1) / 2; }

std::string Truncated(std::string_view name, std::string_view suffix)
{
    std::string truncated(name.substr(0, 19 - suffix.size()));
    truncated += suffix;
    return truncated;
}

// " 60": built by appending, which GCC 12's Release build does not
// mistake for overlapping copies as it does a literal + std::string.
std::string NoteSuffix(int note)
{
    std::string suffix(1, ' ');
    suffix += std::to_string(note);
    return suffix;
}

struct SampleSet {
    std::vector<int> notes;
    std::vector<int> ids;
};

// Key zones over the whole keyboard: each sample serves the notes nearest its
// root, the outermost ones everything beyond.
std::vector<Zone> KeyZones(const SampleSet& set, sf2::SampleMode mode, int spacing)
{
    std::vector<Zone> zones;
    for (size_t i = 0; i < set.notes.size(); ++i) {
        const int low = i == 0 ? 0 : set.notes[i] - Below(spacing);
        const int high = i + 1 == set.notes.size() ? 127 : set.notes[i + 1] - Below(spacing) - 1;
        Zone z;
        z.Range(low, high).Set(Gen::SampleModes, mode).Set(Gen::SampleId, set.ids[i]);
        zones.push_back(z);
    }
    return zones;
}

sf2::Sample ToSample(std::string name, const Tone& tone, int root)
{
    sf2::Sample s;
    s.name = std::move(name);
    s.data = ToPcm(tone.data);
    s.rate = kSampleRate;
    s.rootKey = uint8_t(root);
    s.loopStart = tone.loopStart;
    s.loopEnd = tone.loopEnd;
    return s;
}

class FontBuilder {
public:
    FontBuilder() : m_font("Corvinta Theatre Organ"), m_random(216) {}

    sf2::CSf2Writer Build()
    {
        for (const PipeVoicing& v : kPipeVoicings)
            AddPipeRank(v);
        for (const StruckVoicing& v : kStruckVoicings)
            AddStruck(v);
        AddTraps();
        return std::move(m_font);
    }

private:
    const SampleSet& PipeSamples(const PipeVoicing& v)
    {
        auto found = m_pipeSamples.find(v.pipesOf);
        if (found != m_pipeSamples.end())
            return found->second;
        const PipeVoicing& source = *std::find_if(kPipeVoicings.begin(), kPipeVoicings.end(),
                                                  [&](const PipeVoicing& p) { return p.rank == v.pipesOf; });
        SampleSet set;
        set.notes = SampleNotes(v.pipesOf);
        for (int note : set.notes) {
            const Tone tone = PipeTone(source, note, kPipeSampleSpacing - 1 - Below(kPipeSampleSpacing), m_random);
            set.ids.push_back(m_font.AddSample(ToSample(Truncated(kRanks[v.pipesOf].name, NoteSuffix(note)), tone, note)));
        }
        return m_pipeSamples[v.pipesOf] = set;
    }

    void AddPipeRank(const PipeVoicing& v)
    {
        const SampleSet& set = PipeSamples(v);
        const RankDefinition& rank = kRanks[v.rank];
        for (int patch : {1, 2}) {
            const bool trem = patch == 2;
            if (trem && (rank.patch2 == rank.patch1 || !IsTremmed(v.rank)))
                continue;
            Zone global;
            global.Set(Gen::AttackVolEnv, TimeCents(v.attack))
                .Set(Gen::ReleaseVolEnv, TimeCents(v.release))
                .Set(Gen::InitialAttenuation, kHeadroomCb + v.attenuationCb)
                .Set(Gen::FreqModLfo, AbsoluteCents(v.tremHz))
                .Set(Gen::FreqVibLfo, AbsoluteCents(v.tremHz));
            if (v.fineTuneCents)
                global.Set(Gen::FineTune, v.fineTuneCents);
            if (trem) {
                global.Set(Gen::ModLfoToPitch, int(v.tremCents)).Set(Gen::ModLfoToVolume, int(v.tremCb));
            } else {
                // The modulation wheel (the console's other tremulant method)
                // brings in the same pulse: pitch through the standard wheel
                // vibrato, level through this modulator.
                // Scaled so that the rank's modulation depth gives the level
                // pulse of its tremmed patch.
                const int wheel = std::max(1, kRanks[v.rank].modulationDepth);
                global.modulators.push_back({kModulationWheel, Gen::ModLfoToVolume, int16_t(v.tremCb * 127 / wheel)});
            }
            std::vector<Zone> zones{global};
            for (Zone& z : KeyZones(set, sf2::LoopContinuously, kPipeSampleSpacing))
                zones.push_back(std::move(z));
            const std::string name = trem ? Truncated(rank.name, " Trem") : std::string(rank.name);
            const int instrument = m_font.AddInstrument(name, std::move(zones));
            m_font.AddPreset(name, FontBank(rank.bank), ProgramOf(v.rank, patch), instrument);
        }
    }

    void AddStruck(const StruckVoicing& v)
    {
        SampleSet set;
        set.notes = SampleNotes(v.rank);
        const double shift = kStruckSampleSpacing - 1 - Below(kStruckSampleSpacing);
        for (int note : set.notes) {
            const Tone tone = StruckTone(v, note, shift, m_random);
            set.ids.push_back(m_font.AddSample(ToSample(Truncated(v.name, NoteSuffix(note)), tone, note)));
        }
        Zone global;
        global.Set(Gen::ReleaseVolEnv, TimeCents(v.release)).Set(Gen::InitialAttenuation, kHeadroomCb + v.attenuationCb);
        std::vector<Zone> zones{global};
        const auto mode = v.repeatHz > 0 ? sf2::LoopContinuously : sf2::NoLoop;
        for (Zone& z : KeyZones(set, mode, kStruckSampleSpacing))
            zones.push_back(std::move(z));
        const int instrument = m_font.AddInstrument(v.name, std::move(zones));
        m_font.AddPreset(v.name, FontBank(kRanks[v.rank].bank), ProgramOf(v.rank, v.patch), instrument);
    }

    void AddTraps()
    {
        std::vector<Zone> zones;
        for (const TrapSound& sound : BuildTrapsKit(m_random)) {
            const int id = m_font.AddSample(ToSample(std::string(sound.name), sound.tone, sound.note));
            Zone z;
            z.Range(sound.note, sound.note)
                .Set(Gen::ReleaseVolEnv, TimeCents(sound.release))
                .Set(Gen::InitialAttenuation, kHeadroomCb - 100)
                .Set(Gen::SampleModes, sound.tone.loopEnd > sound.tone.loopStart ? sf2::LoopContinuously : sf2::NoLoop)
                .Set(Gen::SampleId, id);
            zones.push_back(z);
        }
        const int instrument = m_font.AddInstrument("Traps", std::move(zones));
        const int program = kRanks[kTrapsRank].patch1;
        // The rank's own bank and program, for a Traps rank moved to a melodic
        // channel (and so that channels find a preset while the font loads).
        m_font.AddPreset("Traps", FontBank(kRanks[kTrapsRank].bank), program, instrument);
        // FluidSynth resolves the drum channel's kit when the font is loaded,
        // before the bank offset is set, and again with the offset whenever
        // the channel's programs are reset: the kit answers both.
        m_font.AddPreset("Traps", kDrumBank, program, instrument);
        m_font.AddPreset("Traps", FontBank(kDrumBank), program, instrument);
    }

    sf2::CSf2Writer m_font;
    std::mt19937 m_random;
    std::map<int, SampleSet> m_pipeSamples;
};

} // namespace

int FontBank(int bank) { return bank - SoundFontEntry{}.bankOffset; }

std::vector<int> SampleNotes(int rank)
{
    const NoteSpan span = RankCompass(rank);
    const int spacing = Spacing(rank);
    std::vector<int> notes;
    for (int root = span.low + Below(spacing); root - Below(spacing) <= span.high; root += spacing)
        notes.push_back(std::min(root, 127));
    notes.erase(std::unique(notes.begin(), notes.end()), notes.end());
    return notes;
}

sf2::CSf2Writer BuildCorvintaFont() { return FontBuilder().Build(); }

} // namespace corvinta::soundfont
