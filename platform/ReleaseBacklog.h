#pragma once
// Key releases that found their ring full. A lost release leaves pipes
// sounding until a panic, so a release the ring refuses is kept here instead:
// one bit per (row, note), set by any producer without a lock, taken by the
// ring's worker once it has handled everything queued before it.
//
// While a release is kept, a press of the same key must be refused too: it
// would overtake the release in the ring, and a second release kept before the
// worker comes round falls on the same bit, so two presses would meet one
// release and the key's pipes would stay counted as held.

#include <array>
#include <atomic>
#include <cstdint>

namespace corvinta {

template <int Rows>
class ReleaseBacklog {
public:
    static constexpr int kNotes = 128;

    // False when row or note is outside the backlog (the release is lost).
    bool Keep(int row, int note)
    {
        if (!Inside(row, note))
            return false;
        words_[Word(row, note)].fetch_or(Bit(note), std::memory_order_relaxed);
        pending_.store(true, std::memory_order_release);
        return true;
    }

    // False, and counted, while a release of this key is kept: the press
    // must wait until the worker has handled it. Any thread.
    bool AdmitsPress(int row, int note)
    {
        if (!Inside(row, note) || (words_[Word(row, note)].load(std::memory_order_acquire) & Bit(note)) == 0)
            return true;
        refusedPresses_.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    uint64_t RefusedPresses() const { return refusedPresses_.load(std::memory_order_relaxed); }

    // Calls release(row, note) for every kept release and forgets it.
    template <class Release>
    void Take(Release release)
    {
        if (!pending_.exchange(false, std::memory_order_acq_rel))
            return;
        for (size_t w = 0; w < words_.size(); ++w) {
            uint64_t bits = words_[w].exchange(0, std::memory_order_acq_rel);
            while (bits) {
                const int bit = __builtin_ctzll(bits);
                bits &= bits - 1;
                const int flat = static_cast<int>(w) * 64 + bit;
                release(flat / kNotes, flat % kNotes);
            }
        }
    }

private:
    static bool Inside(int row, int note) { return row >= 0 && row < Rows && note >= 0 && note < kNotes; }
    static size_t Word(int row, int note) { return static_cast<size_t>((row * kNotes + note) / 64); }
    static uint64_t Bit(int note) { return uint64_t{1} << (note % 64); }

    std::array<std::atomic<uint64_t>, Rows * kNotes / 64> words_{};
    std::atomic<bool> pending_{false};
    std::atomic<uint64_t> refusedPresses_{0};
};

} // namespace corvinta
