#pragma once
// The rank log as tests read it ("1532 6 fluidsynth 90 3c 7f"), and what
// FluidSynth still sounds once its releases have been rendered.

#include <fluidsynth.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace corvinta::test {

struct LoggedMessage {
    int rank = 0;
    std::string output;
    unsigned status = 0, data1 = 0, data2 = 0;
};

inline std::vector<LoggedMessage> ReadRankLog(const std::filesystem::path& path)
{
    std::vector<LoggedMessage> messages;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        int ms = 0;
        LoggedMessage m;
        fields >> std::dec >> ms >> m.rank >> m.output >> std::hex >> m.status >> m.data1 >> m.data2;
        messages.push_back(m);
    }
    return messages;
}

inline bool IsNoteOn(const LoggedMessage& m) { return (m.status & 0xF0) == 0x90 && m.data2 > 0; }
inline bool IsNoteOff(const LoggedMessage& m)
{
    return (m.status & 0xF0) == 0x80 || ((m.status & 0xF0) == 0x90 && m.data2 == 0);
}

// A panic or a stop lets every note go in FluidSynth directly (the rank log
// does not show it): once the releases have been rendered (with no audio
// driver nothing renders them) no voice may sound.
inline int VoicesLeftAfterRelease(fluid_synth_t* synth)
{
    std::vector<float> left(4410), right(4410);
    for (int block = 0; block < 30 && fluid_synth_get_active_voice_count(synth) > 0; ++block)
        fluid_synth_write_float(synth, 4410, left.data(), 0, 1, right.data(), 0, 1);
    return fluid_synth_get_active_voice_count(synth);
}

} // namespace corvinta::test
