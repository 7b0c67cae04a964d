#pragma once
// A small SoundFont 2.01 writer: 16-bit mono samples, instruments made of
// zones of generators and modulators, presets that each point at one
// instrument. Enough for a font made entirely by our own synthesis.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvinta::sf2 {

// Generator operators used by the font (numbering of the SoundFont format).
enum Gen : uint16_t {
    ModLfoToPitch = 5,
    VibLfoToPitch = 6,
    InitialFilterFc = 8,
    ModLfoToVolume = 13,
    ReverbEffectsSend = 16,
    DelayModLfo = 21,
    FreqModLfo = 22,
    DelayVibLfo = 23,
    FreqVibLfo = 24,
    AttackVolEnv = 34,
    HoldVolEnv = 35,
    DecayVolEnv = 36,
    SustainVolEnv = 37,
    ReleaseVolEnv = 38,
    Instrument = 41,
    KeyRange = 43,
    InitialAttenuation = 48,
    FineTune = 52,
    SampleId = 53,
    SampleModes = 54,
    ScaleTuning = 56,
    OverridingRootKey = 58,
};

enum SampleMode : int16_t { NoLoop = 0, LoopContinuously = 1, LoopUntilRelease = 3 };

struct Generator {
    uint16_t op;
    uint16_t amount; // signed values stored as two's complement; a range as lo | hi << 8
};

struct Modulator {
    uint16_t source;
    uint16_t destination;
    int16_t amount;
    uint16_t amountSource = 0;
    uint16_t transform = 0;
};

struct Zone {
    std::vector<Generator> generators;
    std::vector<Modulator> modulators;

    Zone& Set(Gen op, int value);
    Zone& Range(int low, int high);
};

struct Sample {
    std::string name;
    std::vector<int16_t> data;
    uint32_t rate = 44100;
    uint8_t rootKey = 60;
    int8_t correction = 0;
    uint32_t loopStart = 0; // in points from the sample's start
    uint32_t loopEnd = 0;
};

class CSf2Writer {
public:
    explicit CSf2Writer(std::string fontName);

    int AddSample(Sample sample);
    // Zones in key order; a zone without a sample id becomes the global zone
    // when it comes first.
    int AddInstrument(std::string_view name, std::vector<Zone> zones);
    void AddPreset(std::string_view name, int bank, int program, int instrument, Zone presetZone = {});

    // The font as one RIFF image.
    std::vector<uint8_t> Build() const;
    bool Write(const std::string& path) const;

private:
    struct InstrumentRec {
        std::string name;
        std::vector<Zone> zones;
    };
    struct PresetRec {
        std::string name;
        int bank, program;
        Zone zone;
    };

    std::string m_name;
    std::vector<Sample> m_samples;
    std::vector<InstrumentRec> m_instruments;
    std::vector<PresetRec> m_presets;
};

} // namespace corvinta::sf2
