#pragma once
// The user's settings: per-division input, per-rank output, the synthesizer,
// the sound font list and the console-wide switches. They start from the
// defaults here, are overwritten from the configuration file, then validated.

#include "organ/DeviceId.h"

#include <cstdint>
#include <string>
#include <vector>

namespace corvinta {

struct DIVSETTINGS {
    std::string name;            // input device reference: a key of the input-devices list, or empty
    int32_t channel = 0;         // 0..15
    uint16_t deviceId = kNoDevice;
    uint8_t lowNote = 0;
    uint8_t highNote = 127;
    int32_t transpose = 0;       // -24..24
    uint8_t secondTouchMethod = 2; // 0 "Note", 1 "Key", 2 "Chan"
    uint8_t pressureThreshold = 0;
};

struct RNKSETTINGS : DIVSETTINGS {
    // name: output device name; deviceId: index among output devices, kNoDevice = FluidSynth.
    int32_t volume = 95;
    int32_t pan = 64;
    int32_t bank = 25;
    int32_t patch1 = 0;
    int32_t patch2 = 0;
    int32_t modulationDepth = 0; // from the rank table, never stored
};

struct SoundFontEntry {
    std::string path;
    int32_t bankOffset = 25;
};

enum class ChorusType : int { Sine = 0, Triangle = 1 };

struct SynthSettings {
    double gain = 0.2;
    double sampleRate = 44100.0;
    int polyphony = 256;
    int bufferCount = 8;
    int bufferSize = 512;
    bool reverbOn = true;
    double reverbRoomSize = 0.2;
    double reverbDamping = 0.0;
    double reverbWidth = 0.5;
    double reverbLevel = 1.0;
    bool chorusOn = false;
    int chorusVoiceCount = 3;
    int chorusType = static_cast<int>(ChorusType::Sine);
    double chorusLevel = 2.0;
    double chorusSpeed = 0.3;
    double chorusDepth = 8.0;
};

enum class TremoloMethod : uint8_t { PatchChange = 0, ModulationController = 1 };

struct ConsoleSettings {
    int32_t pistonSound = 95;
    uint8_t tremoloMethod = static_cast<uint8_t>(TremoloMethod::PatchChange);
    uint8_t swellThreshold = 20;
    bool useLowpass = true;
    bool useTibiaUnification = false;
    bool useSingleSwell = true;
    uint8_t velocityMask = 255;
    uint8_t memLevel = 0;
    bool bankSelectMemLevel = false;
    bool useCrescendo = false;
    int32_t pizzicatoLength = 100;
    bool enableMidiPanic = false;
    // The merged output (rank settings entry 17) receives a copy of everything.
    bool mergedOutEnabled = false;
    // Keys go to the merged output on their division's fixed channel when set,
    // on the division's input channel otherwise.
    bool mergedOutChannelMode = false;
};

// Calibration of a shoe or the crescendo pedal: the raw controller values
// that mean fully closed and fully open.
struct Calibration {
    uint8_t minimum = 0;
    uint8_t maximum = 127;
};

// Everything the configuration file holds, as one value so it can be loaded
// into a copy and committed whole.
struct OrganSettings {
    std::vector<DIVSETTINGS> divisions;
    std::vector<RNKSETTINGS> ranks;
    std::vector<SoundFontEntry> soundFonts;
    ConsoleSettings console;
    SynthSettings synth;
    Calibration calibration[3]; // Swell Main, Swell Solo, Crescendo
};

// Built from the organ tables.
OrganSettings DefaultOrganSettings();

// Replaces each out-of-range value by its default and keeps the rest.
void ValidateSettings(OrganSettings& settings);
// A rank's channel range depends on its device; checked again once the
// device names have been resolved to ids.
void ValidateRankChannels(std::vector<RNKSETTINGS>& ranks);

} // namespace corvinta
