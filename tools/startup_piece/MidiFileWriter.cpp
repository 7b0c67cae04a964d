#include "tools/startup_piece/MidiFileWriter.h"

#include <algorithm>
#include <fstream>

namespace corvinta::midi {

namespace {

void VarLength(std::vector<uint8_t>& out, uint32_t v)
{
    uint8_t bytes[5];
    int n = 0;
    do {
        bytes[n++] = uint8_t(v & 0x7F);
        v >>= 7;
    } while (v);
    while (n--)
        out.push_back(uint8_t(bytes[n] | (n ? 0x80 : 0)));
}

void Be(std::vector<uint8_t>& out, uint32_t v, int bytes)
{
    while (bytes--)
        out.push_back(uint8_t(v >> (8 * bytes)));
}

// At one tick: releases first (so a repeated note restarts), then
// controllers (so stops are drawn before the keys that need them), then keys.
int Order(uint8_t status, uint8_t velocity)
{
    const uint8_t kind = status & 0xF0;
    if (kind == 0x80 || (kind == 0x90 && velocity == 0))
        return 0;
    return kind == 0x90 ? 2 : 1;
}

} // namespace

CMidiFileWriter::CMidiFileWriter(int ticksPerQuarter, int microsecondsPerQuarter, std::string trackName)
    : m_ticksPerQuarter(ticksPerQuarter), m_tempo(microsecondsPerQuarter), m_name(std::move(trackName))
{
}

void CMidiFileWriter::Add(uint32_t tick, uint8_t status, uint8_t data1, uint8_t data2)
{
    m_events.push_back({tick, status, data1, data2});
}

std::vector<uint8_t> CMidiFileWriter::Build() const
{
    std::vector<Event> events = m_events;
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
        return a.tick != b.tick ? a.tick < b.tick : Order(a.status, a.data2) < Order(b.status, b.data2);
    });

    std::vector<uint8_t> track;
    VarLength(track, 0);
    track.insert(track.end(), {0xFF, 0x03});
    VarLength(track, uint32_t(m_name.size()));
    track.insert(track.end(), m_name.begin(), m_name.end());
    VarLength(track, 0);
    track.insert(track.end(), {0xFF, 0x51, 0x03});
    Be(track, uint32_t(m_tempo), 3);
    uint32_t now = 0;
    for (const Event& e : events) {
        VarLength(track, e.tick - now);
        now = e.tick;
        track.push_back(e.status);
        track.push_back(e.data1);
        if ((e.status & 0xE0) != 0xC0) // program change and channel pressure carry one data byte
            track.push_back(e.data2);
    }
    VarLength(track, uint32_t(m_ticksPerQuarter));
    track.insert(track.end(), {0xFF, 0x2F, 0x00});

    std::vector<uint8_t> file{'M', 'T', 'h', 'd'};
    Be(file, 6, 4);
    Be(file, 0, 2);
    Be(file, 1, 2);
    Be(file, uint32_t(m_ticksPerQuarter), 2);
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    Be(file, uint32_t(track.size()), 4);
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

bool CMidiFileWriter::Write(const std::string& path) const
{
    const std::vector<uint8_t> bytes = Build();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

} // namespace corvinta::midi
