#include "organ/Settings.h"

#include "organ/OrganTables.h"

namespace corvinta {

OrganSettings DefaultOrganSettings()
{
    OrganSettings s;
    for (const DivisionDefinition& d : kDivisions) {
        DIVSETTINGS div;
        div.channel = d.defaultInputChannel;
        div.secondTouchMethod = 0;
        s.divisions.push_back(div);
    }
    DIVSETTINGS control;
    control.channel = 15;
    s.divisions.push_back(control);

    for (int r = 0; r < kRankSettingsCount; ++r) {
        const RankDefinition& def = kRanks[r];
        RNKSETTINGS rank;
        rank.channel = r == kMergedOutIndex ? -1 : r;
        rank.volume = def.volume;
        rank.pan = def.pan;
        rank.bank = def.bank;
        rank.patch1 = def.patch1;
        rank.patch2 = def.patch2;
        rank.modulationDepth = def.modulationDepth;
        s.ranks.push_back(rank);
    }
    return s;
}

namespace {

template <class T, class U>
void ResetOutside(T& value, U low, U high, U fallback)
{
    if (!(value >= low && value <= high)) // also catches NaN
        value = static_cast<T>(fallback);
}

void ValidateDivision(DIVSETTINGS& d)
{
    ResetOutside(d.channel, 0, 15, 0);
    if (d.lowNote > 127)
        d.lowNote = 0;
    if (d.highNote > 127)
        d.highNote = 127;
    ResetOutside(d.transpose, -24, 24, 0);
    if (d.secondTouchMethod > 2)
        d.secondTouchMethod = 2;
    if (d.pressureThreshold > 127)
        d.pressureThreshold = 0;
}

void ValidateRankChannel(RNKSETTINGS& r)
{
    // The internal synthesizer runs 18 channels; an external device has 16.
    if (r.channel < 0 || (r.channel > 15 && r.deviceId != kNoDevice))
        r.channel = 0;
}

void ValidateRank(RNKSETTINGS& r)
{
    ValidateRankChannel(r);
    ResetOutside(r.volume, 0, 127, 95);
    ResetOutside(r.pan, 0, 127, 64);
    ResetOutside(r.bank, 0, 127, 25);
    ResetOutside(r.patch1, 0, 127, 0);
    ResetOutside(r.patch2, 0, 127, 0);
}

void ValidateSynth(SynthSettings& s)
{
    ResetOutside(s.gain, 0.0, 10.0, 0.2);
    ResetOutside(s.sampleRate, 22050.0, 96000.0, 44100.0);
    ResetOutside(s.polyphony, 16, 4096, 256);
    ResetOutside(s.bufferCount, 2, 64, 8);
    ResetOutside(s.bufferSize, 64, 8192, 512);
    ResetOutside(s.reverbRoomSize, 0.0, 1.0, 0.2);
    ResetOutside(s.reverbDamping, 0.0, 1.0, 0.0);
    ResetOutside(s.reverbWidth, 0.0, 1.0, 0.5);
    ResetOutside(s.reverbLevel, 0.0, 1.0, 1.0);
    ResetOutside(s.chorusVoiceCount, 1, 12, 3);
    ResetOutside(s.chorusLevel, 0.0, 3.0, 2.0);
    ResetOutside(s.chorusSpeed, 0.0, 12.0, 0.3);
    ResetOutside(s.chorusDepth, 0.0, 50.0, 8.0);
}

} // namespace

void ValidateSettings(OrganSettings& settings)
{
    for (DIVSETTINGS& d : settings.divisions)
        ValidateDivision(d);
    for (RNKSETTINGS& r : settings.ranks)
        ValidateRank(r);
    ConsoleSettings& c = settings.console;
    // The pistons have levels 0..10 only; a level beyond them would leave
    // every piston without memory.
    if (c.memLevel >= kMemoryLevelCount)
        c.memLevel = 0;
    if (c.swellThreshold > 127)
        c.swellThreshold = 20;
    ResetOutside(c.pizzicatoLength, 50, 1000, 100);
    for (SoundFontEntry& f : settings.soundFonts)
        ResetOutside(f.bankOffset, 0, 127, 0);
    ValidateSynth(settings.synth);
    for (Calibration& cal : settings.calibration)
        if (cal.maximum < cal.minimum)
            cal = Calibration{};
}

void ValidateRankChannels(std::vector<RNKSETTINGS>& ranks)
{
    for (RNKSETTINGS& r : ranks)
        ValidateRankChannel(r);
}

} // namespace corvinta
