#pragma once
// A division of the organ: a manual, the pedal, or the second-touch
// pseudo-division that belongs to one of them. Its key and stop operations
// turn console events into output requests.

#include "organ/OrganTables.h"
#include "organ/Stop.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace corvinta {

class CConsole;

// What the division's on-screen keyboard shows; written by whichever thread
// plays the key, read by the window when it redraws.
struct KeyboardDisplay {
    uint8_t lowestNote = 0;
    int keyCount = 0;
    std::array<std::atomic<uint8_t>, 128> pressed{}; // 1 = shown pressed, per shown key
};

// Key state bits: bit 7 while the manual holds the key, the low 7 bits the
// level the second-touch division sounds it with (0 = silent there).
inline constexpr uint8_t kKeyHeld = 0x80;
inline constexpr uint8_t kKeyLevelMask = 0x7F;

class CDivision {
public:
    CDivision(CConsole& console, int number, double scale);

    CConsole& console;
    std::string name;
    std::string shortName;
    int32_t number;
    int32_t firstTouchDivision;  // the manual this division belongs to
    int32_t secondTouchDivision; // the division that sounds the manual's second touch
    bool isSecondTouch;
    int32_t firstStop;           // item number of the first stop
    int32_t stopCount;
    KeyboardDisplay keyboard;
    Rect keyboardRect;           // scaled skin pixels
    uint8_t lowNote, highNote;
    int32_t skinRegionBase;
    std::atomic<uint8_t> secondTouchLevel{0}; // pressure above the threshold, 0 when below
    std::array<std::atomic<uint8_t>, 128> keyStates{};
    std::vector<std::unique_ptr<CStop>> stops;
    int32_t unisonOffStop = -1;  // index of the inverted coupler, -1 if none

    CStop& Stop(int index) { return *stops[static_cast<size_t>(index)]; }

    // Key and stop input. Safe from the MIDI input worker and the UI thread;
    // they only push requests and update what is shown.
    void DivisionKey(uint8_t note, uint8_t velocity, bool show = true, bool direct = false);
    void KeyPressureSecondTouch(uint8_t note, uint8_t pressure);
    void ChannelPressureSecondTouch(uint8_t pressure, bool force);
    void SwitchStop(int stopIndex, bool state, bool show);

private:
    void ShowKey(int division, uint8_t note, bool pressed);
};

} // namespace corvinta
