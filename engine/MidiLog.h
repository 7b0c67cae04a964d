#pragma once
// A log of every message a rank sends, one line each:
//   "1532 6 fluidsynth 90 3c 7f"
// milliseconds since the log opened, rank, output, the three bytes in hex.
// The output worker only drops a record into a lock-free ring; a writer
// thread of the log's own turns records into lines, so the worker never
// waits for the disk. If the writer falls far behind, records are counted as
// lost rather than blocking the worker.

#include "engine/MessageSink.h"
#include "platform/Thread.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace corvinta {

class MidiLog final : public IRankSendObserver {
public:
    // outputNames: the MIDI output devices, indexed by device id.
    MidiLog(std::vector<std::string> outputNames);
    ~MidiLog() override;
    MidiLog(const MidiLog&) = delete;
    MidiLog& operator=(const MidiLog&) = delete;

    // False when the file cannot be created.
    bool Open(const std::string& path);
    // Writes everything logged so far and closes the file.
    void Close();

    // Only from the output worker (single producer).
    void RankSent(int rank, int deviceId, uint32_t shortMessage) override;

    // Time stamps from this clock (milliseconds) instead of the wall clock:
    // an offline render stamps the log with rendered time.
    void SetClock(std::function<uint32_t()> clock) { clock_ = std::move(clock); }

    uint64_t Lost() const { return lost_.load(std::memory_order_relaxed); }

private:
    struct Record {
        uint32_t ms;
        int16_t rank;
        int32_t device;
        uint32_t message;
    };
    static constexpr size_t kCapacity = 8192;

    void Writer();
    size_t Drain();

    std::vector<std::string> outputNames_;
    std::array<Record, kCapacity> records_{};
    std::atomic<size_t> head_{0}; // written by the worker
    std::atomic<size_t> tail_{0}; // written by the writer thread
    std::atomic<uint64_t> lost_{0};
    std::atomic<bool> closing_{false};
    uint32_t startMs_ = 0;
    std::FILE* file_ = nullptr;
    Thread writer_;
    std::function<uint32_t()> clock_;
};

} // namespace corvinta
