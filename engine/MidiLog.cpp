#include "engine/MidiLog.h"

#include "engine/Rank.h"
#include "platform/TickCount.h"

#include <chrono>
#include <thread>
#include <thread>

namespace corvinta {

MidiLog::MidiLog(std::vector<std::string> outputNames) : outputNames_(std::move(outputNames)) {}

MidiLog::~MidiLog()
{
    Close();
}

bool MidiLog::Open(const std::string& path)
{
    file_ = std::fopen(path.c_str(), "w");
    if (!file_)
        return false;
    startMs_ = TickCount();
    closing_ = false;
    if (!writer_.Start([this] { Writer(); })) {
        std::fclose(file_);
        file_ = nullptr;
        return false;
    }
    return true;
}

void MidiLog::Close()
{
    if (!file_)
        return;
    closing_ = true;
    writer_.Join();
    Drain();
    std::fclose(file_);
    file_ = nullptr;
}

void MidiLog::RankSent(int rank, int deviceId, uint32_t message)
{
    if (!file_)
        return;
    const size_t head = head_.load(std::memory_order_relaxed);
    // An offline render is not real time: it waits for the writer rather
    // than lose a line. The live organ never waits.
    while (clock_ && head - tail_.load(std::memory_order_acquire) >= kCapacity)
        std::this_thread::yield();
    if (head - tail_.load(std::memory_order_acquire) >= kCapacity) {
        lost_.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    const uint32_t ms = clock_ ? clock_() : TickCount() - startMs_;
    records_[head % kCapacity] = Record{ms, static_cast<int16_t>(rank), deviceId, message};
    head_.store(head + 1, std::memory_order_release);
}

size_t MidiLog::Drain()
{
    const size_t head = head_.load(std::memory_order_acquire);
    size_t tail = tail_.load(std::memory_order_relaxed);
    const size_t count = head - tail;
    for (; tail != head; ++tail) {
        const Record& r = records_[tail % kCapacity];
        const char* output = "fluidsynth";
        if (r.device != kNoDevice)
            output = (r.device >= 0 && static_cast<size_t>(r.device) < outputNames_.size())
                         ? outputNames_[static_cast<size_t>(r.device)].c_str()
                         : "?";
        std::fprintf(file_, "%u %d %s %02x %02x %02x\n", r.ms, r.rank, output, r.message & 0xFF,
                     (r.message >> 8) & 0xFF, (r.message >> 16) & 0xFF);
        tail_.store(tail + 1, std::memory_order_release);
    }
    if (count)
        std::fflush(file_);
    return count;
}

void MidiLog::Writer()
{
    while (!closing_.load()) {
        if (Drain() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace corvinta
