#pragma once
// "Console Up.mid": the short flourish the organ plays the first time it
// starts. It draws its stops the way any MIDI file may, through the
// console's default control assignments on the control channel, and plays
// the manuals and pedals on their default channels.

#include "tools/startup_piece/MidiFileWriter.h"

namespace corvinta::startup {

inline constexpr int kTicksPerQuarter = 480;
inline constexpr int kMicrosecondsPerQuarter = 500000; // 120 beats a minute

midi::CMidiFileWriter ComposeConsoleUp();

} // namespace corvinta::startup
