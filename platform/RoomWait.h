#pragma once
// Whether a push into a full ring on this thread waits for room, and until when.
//
// A MIDI callback or the user-interface thread never waits: a push that finds
// a ring full is dropped and counted. A thread that is not real-time (the
// input worker, the file player's thread) opens a RoomWait for as long as it
// may wait instead, so a burst from a file is never lost; the flag it names
// ends the wait (its own stop), and so does the consumer's end.

#include <atomic>

namespace corvinta {

class RoomWait {
public:
    explicit RoomWait(const std::atomic<bool>& giveUp) : previous_(current_) { current_ = &giveUp; }
    ~RoomWait() { current_ = previous_; }
    RoomWait(const RoomWait&) = delete;
    RoomWait& operator=(const RoomWait&) = delete;

    // Null when this thread must not wait.
    static const std::atomic<bool>* GiveUp() { return current_; }

private:
    const std::atomic<bool>* previous_;
    static inline thread_local const std::atomic<bool>* current_ = nullptr;
};

} // namespace corvinta
