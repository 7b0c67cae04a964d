#pragma once
// The values the settings dialog's right-click menus offer, and how its
// cells show them: note names "C00".."G9", pans "L 8".."C".."R 8", volume
// steps 16..1, transpositions, second-touch methods.

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

namespace corvinta::settings_menus {

inline constexpr std::array<std::string_view, 12> kNoteLetters{"C", "C#", "D", "D#", "E", "F",
                                                               "F#", "G", "G#", "A", "A#", "B"};
inline constexpr std::array<int, 5> kTranspositions{-24, -12, 0, 12, 24};
inline constexpr std::array<std::string_view, 3> kSecondTouchMethods{"Note", "Key", "Chan"};
inline constexpr std::string_view kFluidSynthName = "Corvinta Fluidsynth";
inline constexpr std::string_view kAuxiliaryRow = "<auxiliary>";
inline constexpr std::string_view kNoMergedDevice = "<no device>";
inline constexpr int kNumbersPerColumn = 16; // the 0..127 menu's columns
inline constexpr int kNotesPerColumn = 12;

// "C4" for 60; octave -1 is written "00".
inline std::string NoteName(int note)
{
    const int octave = note / 12 - 1;
    return std::string(kNoteLetters[static_cast<size_t>(note % 12)]) + (octave < 0 ? "00" : std::to_string(octave));
}

inline std::string PanLabel(int step)
{
    if (step > 0)
        return "R " + std::to_string(step);
    if (step < 0)
        return "L " + std::to_string(-step);
    return "C";
}

// The dialog's steps for a rank's MIDI volume (1..16) and pan (-8..8).
inline int VolumeStepOf(int volume) { return volume <= 0 ? 1 : std::min(16, std::max(1, (volume + 1) / 8)); }
inline int PanStepOf(int pan) { return pan >= 127 ? 8 : std::min(8, std::max(-8, (pan - 64) / 8)); }

} // namespace corvinta::settings_menus
