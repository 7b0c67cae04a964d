#pragma once
// FluidSynth's objects held as owning handles. Declare them in the order
// they are made (settings, synthesizer, then what runs on the synthesizer),
// so they go in the reverse order, each once.

#include <memory>

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;
typedef struct _fluid_audio_driver_t fluid_audio_driver_t;
typedef struct _fluid_player_t fluid_player_t;

namespace corvinta {

struct FluidDeleter {
    void operator()(fluid_settings_t* settings) const;
    void operator()(fluid_synth_t* synth) const;
    void operator()(fluid_audio_driver_t* driver) const;
    void operator()(fluid_player_t* player) const;
};

using FluidSettingsHandle = std::unique_ptr<fluid_settings_t, FluidDeleter>;
using FluidSynthHandle = std::unique_ptr<fluid_synth_t, FluidDeleter>;
using FluidDriverHandle = std::unique_ptr<fluid_audio_driver_t, FluidDeleter>;
using FluidPlayerHandle = std::unique_ptr<fluid_player_t, FluidDeleter>;

} // namespace corvinta
