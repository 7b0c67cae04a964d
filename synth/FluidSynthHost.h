#pragma once
// The built-in synthesizer: one FluidSynth settings object, synthesizer and
// audio driver for the whole run, configured from the console's settings.
// Configuration calls run on the user-interface thread; note and controller
// calls come from the output worker through Synth().

#include "organ/Settings.h"
#include "platform/UserMessages.h"
#include "synth/FluidHandles.h"

#include <string>
#include <vector>

namespace corvinta {

class CConsole;

inline constexpr const char* kFluidCaption = "Corvinta Fluidsynth Initialization";

struct SynthOptions {
    // FluidSynth's audio driver name ("jack", "pulseaudio", "alsa", "sdl2",
    // "file"), empty for FluidSynth's default, "none" for no audio driver.
    std::string audioDriver;
    // Where the "file" driver writes; empty for FluidSynth's default.
    std::string audioFile;
};

// Writes into settings what the organ's synthesizer is made with: driver,
// sample rate, buffers, gain, polyphony and the organ's channels. Checking
// the sound system (--check-audio) uses the same, so it answers for the
// organ as it would start.
void SetOrganSynthSettings(fluid_settings_t* settings, const SynthSettings& synth, const SynthOptions& options);

class FluidSynthHost {
public:
    FluidSynthHost(CConsole& console, SynthOptions options);
    ~FluidSynthHost();
    FluidSynthHost(const FluidSynthHost&) = delete;
    FluidSynthHost& operator=(const FluidSynthHost&) = delete;

    // Creates settings, synthesizer, audio driver, loads the sound fonts and
    // applies reverb and chorus. False when the synthesizer could not be made.
    bool StartSynth();

    void ApplySynthSettings(int polyphony, int bufferCount, int bufferSize, double gain, double sampleRate);
    void ApplyReverb(bool on, double roomSize, double damping, double width, double level);
    void ApplyChorus(bool on, int voiceCount, double level, double speed, double depth, int type);
    void LoadSoundFonts();
    void ReadSynthSettings(SynthSettings& into) const;

    fluid_synth_t* Synth() const { return synth_.get(); }
    fluid_settings_t* Settings() const { return settings_.get(); }
    bool HasAudioDriver() const { return driver_ != nullptr; }
    const std::vector<int>& LoadedFontIds() const { return fontIds_; }

private:
    void CreateAudioDriver();

    CConsole& console_;
    SynthOptions options_;
    FluidSettingsHandle settings_;
    FluidSynthHandle synth_;
    FluidDriverHandle driver_;
    std::vector<int> fontIds_;
    bool reverbOn_ = false; // FluidSynth cannot be asked for these two
    bool chorusOn_ = false;
};

} // namespace corvinta
