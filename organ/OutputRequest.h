#pragma once
// The request the console hands the output engine for everything that
// sounds: what happened on the console, not how it sounds.

#include <cstdint>

namespace corvinta {

enum class RequestType : int8_t {
    KeyNote = 0,          // a: division, b: note, c: velocity (0 = released)
    RankStop = 1,         // a: division, b: stop index, c: 1 on / 0 off
    FixedNoteStop = 2,
    CouplerStop = 3,
    QuietCouplerStop = 4,
    Tremulant = 5,        // b: tremulant index
    EffectStop = 6,
    PatchSwitchStop = 7,
    Expression = 8,       // a: shoe (= chamber), b: position 0..127
    RankNote = 9,         // a: rank, b: note, c: velocity
};
inline constexpr int kRequestTypeCount = 10;

struct OutputRequest {
    RequestType type = RequestType::KeyNote;
    int32_t a = 0;
    int32_t b = 0;
    uint8_t c = 0;

    bool operator==(const OutputRequest&) const = default;
};
static_assert(sizeof(OutputRequest) == 16, "an output request is 16 bytes");

// Where requests go. Push is safe from any thread and never blocks.
class IOutputQueue {
public:
    virtual ~IOutputQueue() = default;
    virtual void Push(RequestType type, int32_t a, int32_t b, uint8_t c) = 0;
    // Silences every rank and forgets held keys (the panic).
    virtual void AllNotesOff() {}
    // While held, requests wait in the queue.
    virtual void SetHold(bool) {}
};

} // namespace corvinta
