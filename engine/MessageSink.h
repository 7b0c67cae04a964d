#pragma once
// Receivers of what the organ sends, besides the ranks' own outputs.

#include <cstdint>

namespace corvinta {

// Gets every console message while recording is on (keys, stops, shoes).
class IRecorderSink {
public:
    virtual ~IRecorderSink() = default;
    // Only from the output worker.
    virtual void Record(uint32_t shortMessage) = 0;
};

// Sees every message a rank sends, on the output worker; must not block.
class IRankSendObserver {
public:
    virtual ~IRankSendObserver() = default;
    // deviceId is kNoDevice for FluidSynth, else the device id.
    virtual void RankSent(int rank, int deviceId, uint32_t shortMessage) = 0;
};

} // namespace corvinta
