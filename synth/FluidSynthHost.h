#pragma once
// The built-in synthesizer: one FluidSynth settings object, synthesizer and
// audio driver for the whole run, configured from the console's settings.
// Configuration calls run on the user-interface thread; note and controller
// calls come from the output worker through Synth().

#include "organ/Settings.h"
#include "platform/UserMessages.h"

#include <memory>
#include <string>
#include <vector>

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;
typedef struct _fluid_audio_driver_t fluid_audio_driver_t;

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
    struct SettingsDeleter { void operator()(fluid_settings_t*) const; };
    struct SynthDeleter { void operator()(fluid_synth_t*) const; };
    struct DriverDeleter { void operator()(fluid_audio_driver_t*) const; };

    void CreateAudioDriver();

    CConsole& console_;
    SynthOptions options_;
    std::unique_ptr<fluid_settings_t, SettingsDeleter> settings_;
    std::unique_ptr<fluid_synth_t, SynthDeleter> synth_;
    std::unique_ptr<fluid_audio_driver_t, DriverDeleter> driver_;
    std::vector<int> fontIds_;
    bool reverbOn_ = false; // FluidSynth cannot be asked for these two
    bool chorusOn_ = false;
};

} // namespace corvinta
