#pragma once
// MIDI files for tests, written by the organ's own recorder: each message at
// its millisecond.

#include "engine/MidiRecorder.h"
#include "platform/RecordingUserMessages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace corvinta::test {

struct TimedMessage {
    uint32_t ms;
    uint32_t message;
};

inline std::string WriteTake(const std::string& path, const std::vector<TimedMessage>& take)
{
    uint32_t now = 0;
    MidiRecorder recorder([&] { return now; });
    for (const TimedMessage& m : take) {
        now = m.ms;
        recorder.Record(m.message);
    }
    RecordingUserMessages messages;
    EXPECT_TRUE(recorder.WriteMidiFile(path, messages));
    return path;
}

} // namespace corvinta::test
