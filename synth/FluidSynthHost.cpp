#include "synth/FluidSynthHost.h"

#include "organ/Console.h"
#include "organ/OrganTables.h"
#include "platform/DataFiles.h"

#include <fluidsynth.h>

namespace corvinta {

namespace {
void Warn(CConsole& console, const std::string& text)
{
    console.Messages().Show({text, kFluidCaption, MessageIcon::Warning, MessageButtons::Ok, MessageAnswer::Ok});
}
} // namespace

FluidSynthHost::FluidSynthHost(CConsole& console, SynthOptions options) : console_(console), options_(std::move(options)) {}

// Driver, then synthesizer, then settings.
FluidSynthHost::~FluidSynthHost()
{
    driver_.reset();
    synth_.reset();
    settings_.reset();
}

void SetOrganSynthSettings(fluid_settings_t* settings, const SynthSettings& synth, const SynthOptions& options)
{
    fluid_settings_setnum(settings, "synth.gain", synth.gain);
    fluid_settings_setnum(settings, "synth.sample-rate", synth.sampleRate);
    fluid_settings_setint(settings, "synth.polyphony", synth.polyphony);
    fluid_settings_setint(settings, "audio.periods", synth.bufferCount);
    fluid_settings_setint(settings, "audio.period-size", synth.bufferSize);
    fluid_settings_setint(settings, "synth.verbose", 0);
    fluid_settings_setint(settings, "synth.midi-channels", kSynthChannelCount);
    if (!options.audioDriver.empty() && options.audioDriver != "none")
        fluid_settings_setstr(settings, "audio.driver", options.audioDriver.c_str());
    if (!options.audioFile.empty())
        fluid_settings_setstr(settings, "audio.file.name", options.audioFile.c_str());
}

bool FluidSynthHost::StartSynth()
{
    // FluidSynth logs to the terminal by default; the organ reports through
    // its own messages, so only its fatal messages stay. No function rather
    // than one that drops the text: FluidSynth then does not format the
    // message at all, and it logs from note-on when it takes a voice.
    for (int level : {FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
        fluid_set_log_function(level, nullptr, nullptr);

    settings_.reset(new_fluid_settings());
    if (!settings_) {
        Warn(console_, "Failed to create the synthesizer");
        return false;
    }
    const SynthSettings& s = console_.Settings().synth;
    SetOrganSynthSettings(settings_.get(), s, options_);

    synth_.reset(new_fluid_synth(settings_.get()));
    if (!synth_) {
        Warn(console_, "Failed to create the synthesizer");
        return false;
    }
    if (options_.audioDriver != "none") {
        CreateAudioDriver();
        if (!driver_)
            Warn(console_, "Failed to create the audio driver");
    }
    LoadSoundFonts();
    ApplyReverb(s.reverbOn, s.reverbRoomSize, s.reverbDamping, s.reverbWidth, s.reverbLevel);
    ApplyChorus(s.chorusOn, s.chorusVoiceCount, s.chorusLevel, s.chorusSpeed, s.chorusDepth, s.chorusType);
    return true;
}

void FluidSynthHost::CreateAudioDriver()
{
    driver_.reset(new_fluid_audio_driver(settings_.get(), synth_.get()));
}

void FluidSynthHost::ApplySynthSettings(int polyphony, int bufferCount, int bufferSize, double gain, double sampleRate)
{
    SynthSettings wanted;
    wanted.polyphony = polyphony;
    wanted.bufferCount = bufferCount;
    wanted.bufferSize = bufferSize;
    wanted.gain = gain;
    wanted.sampleRate = sampleRate;
    SetOrganSynthSettings(settings_.get(), wanted, options_);
    if (synth_) {
        // Gain and polyphony are live settings of a running synthesizer.
        fluid_synth_set_gain(synth_.get(), static_cast<float>(gain));
        fluid_synth_set_polyphony(synth_.get(), polyphony);
    }
    if (driver_) {
        driver_.reset();
        CreateAudioDriver();
    }
}

void FluidSynthHost::ApplyReverb(bool on, double roomSize, double damping, double width, double level)
{
    reverbOn_ = on;
    if (!synth_)
        return;
    fluid_synth_reverb_on(synth_.get(), -1, on ? 1 : 0);
    fluid_synth_set_reverb_group_roomsize(synth_.get(), -1, roomSize);
    fluid_synth_set_reverb_group_damp(synth_.get(), -1, damping);
    fluid_synth_set_reverb_group_width(synth_.get(), -1, width);
    fluid_synth_set_reverb_group_level(synth_.get(), -1, level);
}

void FluidSynthHost::ApplyChorus(bool on, int voiceCount, double level, double speed, double depth, int type)
{
    chorusOn_ = on;
    if (!synth_)
        return;
    fluid_synth_chorus_on(synth_.get(), -1, on ? 1 : 0);
    fluid_synth_set_chorus_group_nr(synth_.get(), -1, voiceCount);
    fluid_synth_set_chorus_group_level(synth_.get(), -1, level);
    fluid_synth_set_chorus_group_speed(synth_.get(), -1, speed);
    fluid_synth_set_chorus_group_depth(synth_.get(), -1, depth);
    fluid_synth_set_chorus_group_type(synth_.get(), -1, type);
}

void FluidSynthHost::LoadSoundFonts()
{
    if (!synth_)
        return;
    const int loaded = fluid_synth_sfcount(synth_.get());
    for (size_t i = 0; i < fontIds_.size() && static_cast<int>(i) < loaded; ++i)
        fluid_synth_sfunload(synth_.get(), fontIds_[i], 1);
    fontIds_.clear();

    // Each entry is tried once; a font that fails is reported and dropped.
    std::vector<SoundFontEntry>& fonts = console_.Settings().soundFonts;
    std::vector<SoundFontEntry> kept;
    for (const SoundFontEntry& font : fonts) {
        const int id = fluid_synth_sfload(synth_.get(), FindDataFile(font.path).c_str(), 1);
        if (id == FLUID_FAILED) {
            Warn(console_, "Failed to load the \"" + font.path + "\" sound font");
            continue;
        }
        fontIds_.push_back(id);
        fluid_synth_set_bank_offset(synth_.get(), id, font.bankOffset);
        kept.push_back(font);
    }
    fonts = std::move(kept);
}

void FluidSynthHost::ReadSynthSettings(SynthSettings& into) const
{
    if (!settings_)
        return;
    fluid_settings_getnum(settings_.get(), "synth.gain", &into.gain);
    fluid_settings_getnum(settings_.get(), "synth.sample-rate", &into.sampleRate);
    fluid_settings_getint(settings_.get(), "synth.polyphony", &into.polyphony);
    fluid_settings_getint(settings_.get(), "audio.periods", &into.bufferCount);
    fluid_settings_getint(settings_.get(), "audio.period-size", &into.bufferSize);
    into.reverbOn = reverbOn_;
    into.chorusOn = chorusOn_;
    if (!synth_)
        return;
    fluid_synth_get_reverb_group_roomsize(synth_.get(), -1, &into.reverbRoomSize);
    fluid_synth_get_reverb_group_damp(synth_.get(), -1, &into.reverbDamping);
    fluid_synth_get_reverb_group_level(synth_.get(), -1, &into.reverbLevel);
    fluid_synth_get_reverb_group_width(synth_.get(), -1, &into.reverbWidth);
    fluid_synth_get_chorus_group_nr(synth_.get(), -1, &into.chorusVoiceCount);
    fluid_synth_get_chorus_group_type(synth_.get(), -1, &into.chorusType);
    fluid_synth_get_chorus_group_level(synth_.get(), -1, &into.chorusLevel);
    fluid_synth_get_chorus_group_speed(synth_.get(), -1, &into.chorusSpeed);
    fluid_synth_get_chorus_group_depth(synth_.get(), -1, &into.chorusDepth);
}

} // namespace corvinta
