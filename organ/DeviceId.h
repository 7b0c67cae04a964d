#pragma once
// Device ids, and the source an event carries into the console.

#include <cstdint>

namespace corvinta {

// No input device; the internal synthesizer for a rank's output; and, as an
// event's source, an event made inside the program (the file player, the
// console's own controls).
inline constexpr uint16_t kNoDevice = 0xFFFF;

// An event's source: the device id in the low 16 bits; for an event made
// inside the program, kNoDevice with the channel above it.
constexpr uint32_t InternalSource(uint32_t channel) { return kNoDevice | (channel & 0x0F) << 16; }
constexpr uint16_t SourceDevice(uint32_t source) { return static_cast<uint16_t>(source & 0xFFFF); }
constexpr bool MadeInsideTheProgram(uint32_t source) { return SourceDevice(source) == kNoDevice; }

} // namespace corvinta
