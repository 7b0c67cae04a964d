#pragma once
#include <cstdint>

namespace corvinta {

class CConsole;

// One active MIDI input device; the MIDI input layer fills in the handle.
struct CMidiInDevice {
    void* handle = nullptr;
    int32_t deviceId = -1; // -1 until opened
    bool open = false;
    bool started = false;
    CConsole* console = nullptr;
};

} // namespace corvinta
