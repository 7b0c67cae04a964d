#pragma once
// The piece the render and player tests play through the organ, and what its
// registration must make the ranks play. Draws Solo Tibia 8' and Tuba 16',
// Accomp. Flute 8' and Viol 4', Pedal Bourdon 16' (controller 81 on channel
// 16 draws the stop of its value), then plays a C major chord on the Solo,
// the same an octave lower on the Accomp., and low C on the Pedal, one after
// another. With a set-up block, the first instant opens with that many swell
// shoe moves before the stops are drawn, as a sequencer's file does.

#include "tools/startup_piece/MidiFileWriter.h"

#include <algorithm>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

namespace corvinta::test {

inline constexpr int kRegistrationStops = 5;

inline bool WriteRegistrationPiece(const std::string& path, int setUpBlock = 0)
{
    // 480 ticks a quarter at 120 a minute: a tick is 1/960 s.
    midi::CMidiFileWriter smf(480, 500000, "piece");
    auto at = [](uint32_t ms) { return ms * 960 / 1000; };
    for (int i = 0; i < setUpBlock; ++i) // the Main swell shoe, ending open
        smf.Add(0, 0xBF, 11, static_cast<uint8_t>(i + 1 == setUpBlock ? 127 : i % 128));
    for (uint8_t stop : {7, 0, 47, 49, 75})
        smf.Add(0, 0xBF, 81, stop);
    auto chord = [&](uint8_t channel, uint32_t on, uint32_t off, std::initializer_list<uint8_t> keys) {
        for (uint8_t k : keys) {
            smf.Add(at(on), uint8_t(0x90 | channel), k, 100);
            smf.Add(at(off), uint8_t(0x80 | channel), k, 0);
        }
    };
    chord(0, 500, 1500, {72, 76, 79});
    chord(1, 2000, 3000, {60, 64, 67});
    chord(2, 3500, 4500, {48});
    return smf.Write(path);
}

// What that registration implies, rank by rank: (time, status, note, velocity).
struct RankNote {
    int ms;
    int status, note, velocity;
    auto operator<=>(const RankNote&) const = default;
};
inline std::vector<RankNote> ExpectedRankNotes(int tempo)
{
    std::vector<RankNote> notes;
    auto sound = [&](int on, int off, int channel, std::initializer_list<int> rankNotes) {
        for (int n : rankNotes) {
            notes.push_back({on * 100 / tempo, 0x90 | channel, n, 0x7F});
            notes.push_back({off * 100 / tempo, 0x90 | channel, n, 0});
        }
    };
    sound(500, 1500, 6, {72, 76, 79}); // Tibia 8', rank 6
    sound(500, 1500, 2, {60, 64, 67}); // Tuba 16', rank 2
    sound(2000, 3000, 0, {60, 64, 67}); // Flute 8', rank 0
    sound(2000, 3000, 3, {72, 76, 79}); // Viol 4', rank 3
    sound(3500, 4500, 0, {36});         // Bourdon 16', rank 0
    std::sort(notes.begin(), notes.end());
    return notes;
}

// The note messages of a rank log ("1532 6 fluidsynth 90 3c 7f").
inline std::vector<RankNote> LoggedRankNotes(const std::string& log)
{
    std::vector<RankNote> notes;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        int ms, rank;
        std::string output;
        unsigned status, note, velocity;
        fields >> std::dec >> ms >> rank >> output >> std::hex >> status >> note >> velocity;
        if ((status & 0xE0) == 0x80)
            notes.push_back({ms, int(status), int(note), int(velocity)});
    }
    std::sort(notes.begin(), notes.end());
    return notes;
}

} // namespace corvinta::test
