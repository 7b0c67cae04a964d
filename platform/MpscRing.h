#pragma once
// A fixed ring for many producers and one consumer, as both workers use it:
// MIDI callbacks, the file player and the UI thread push; one worker pops.
// Lock-free: each cell carries a sequence number, so a producer claims a
// cell with one compare-and-swap and publishes it with one store, and the
// consumer never sees a half-written entry. A push into a full ring is
// refused; it never blocks and never overwrites an entry still waiting.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace corvinta {

template <class T, size_t Capacity>
class MpscRing {
public:
    static constexpr size_t kCapacity = Capacity;

    MpscRing()
    {
        for (size_t i = 0; i < kCapacity; ++i)
            cells_[i].sequence.store(i, std::memory_order_relaxed);
    }
    MpscRing(const MpscRing&) = delete;
    MpscRing& operator=(const MpscRing&) = delete;

    // Safe from any thread.
    bool TryPush(const T& entry)
    {
        size_t pos = writePos_.load(std::memory_order_relaxed);
        Cell* cell;
        for (;;) {
            cell = &cells_[pos & kMask];
            const size_t seq = cell->sequence.load(std::memory_order_acquire);
            const auto lag = static_cast<std::ptrdiff_t>(seq - pos);
            if (lag == 0) {
                if (writePos_.compare_exchange_weak(pos, pos + 1, std::memory_order_relaxed))
                    break;
            } else if (lag < 0) {
                return false; // full: the consumer has not freed this cell yet
            } else {
                pos = writePos_.load(std::memory_order_relaxed);
            }
        }
        cell->entry = entry;
        cell->sequence.store(pos + 1, std::memory_order_release);
        return true;
    }

    // Only from the consumer. False when nothing is published at the read position.
    bool TryPop(T& out)
    {
        Cell& cell = cells_[readPos_ & kMask];
        const size_t seq = cell.sequence.load(std::memory_order_acquire);
        if (seq != readPos_ + 1)
            return false;
        out = cell.entry;
        cell.sequence.store(readPos_ + kCapacity, std::memory_order_release);
        ++readPos_;
        return true;
    }

private:
    static constexpr size_t kMask = kCapacity - 1;
    static_assert((kCapacity & kMask) == 0, "capacity must be a power of two");

    struct Cell {
        std::atomic<size_t> sequence{0};
        T entry;
    };

    std::array<Cell, kCapacity> cells_;
    alignas(64) std::atomic<size_t> writePos_{0}; // shared by producers
    alignas(64) size_t readPos_ = 0;              // only the consumer
};

} // namespace corvinta
