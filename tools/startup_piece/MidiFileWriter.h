#pragma once
// A Standard MIDI File of one track (format 0): short messages at ticks.

#include <cstdint>
#include <string>
#include <vector>

namespace corvinta::midi {

class CMidiFileWriter {
public:
    CMidiFileWriter(int ticksPerQuarter, int microsecondsPerQuarter, std::string trackName);

    void Add(uint32_t tick, uint8_t status, uint8_t data1, uint8_t data2);
    std::vector<uint8_t> Build() const;
    bool Write(const std::string& path) const;

private:
    struct Event {
        uint32_t tick;
        uint8_t status, data1, data2;
    };

    int m_ticksPerQuarter;
    int m_tempo;
    std::string m_name;
    std::vector<Event> m_events;
};

} // namespace corvinta::midi
