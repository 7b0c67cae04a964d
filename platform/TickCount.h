#pragma once
#include <cstdint>

namespace corvinta {

// Milliseconds on a steady clock; only differences between two readings mean anything.
uint32_t TickCount();

} // namespace corvinta
