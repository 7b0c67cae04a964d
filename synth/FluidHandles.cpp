#include "synth/FluidHandles.h"

#include <fluidsynth.h>

namespace corvinta {

void FluidDeleter::operator()(fluid_settings_t* settings) const { delete_fluid_settings(settings); }
void FluidDeleter::operator()(fluid_synth_t* synth) const { delete_fluid_synth(synth); }
void FluidDeleter::operator()(fluid_audio_driver_t* driver) const { delete_fluid_audio_driver(driver); }
// Deleting a player joins its thread: no callback runs afterwards.
void FluidDeleter::operator()(fluid_player_t* player) const { delete_fluid_player(player); }

} // namespace corvinta
