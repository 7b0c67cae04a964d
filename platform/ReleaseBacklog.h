#pragma once
// Key releases that found their ring full. A lost release leaves pipes
// sounding until a panic, so a release the ring refuses is kept here instead:
// a count per (row, note), raised by any producer without a lock, taken by
// the ring's worker once it has handled everything queued before it. A count,
// not a flag: two sources holding one key each need their release, or the
// key stays counted as held.
//
// While a release is kept, a press of the same key must be refused too: it
// would overtake the release in the ring and be undone by it.

#include <atomic>
#include <cstdint>
#include <memory>

namespace corvinta {

class ReleaseBacklog {
public:
    static constexpr int kNotes = 128;

    // Allocates here, once: rows are fixed for the backlog's life.
    explicit ReleaseBacklog(int rows)
        : rows_(rows), counts_(new std::atomic<uint32_t>[static_cast<size_t>(rows) * kNotes]()),
          words_(new std::atomic<uint64_t>[WordCount(rows)]())
    {
    }
    ReleaseBacklog(const ReleaseBacklog&) = delete;
    ReleaseBacklog& operator=(const ReleaseBacklog&) = delete;

    int Rows() const { return rows_; }

    // False when row or note is outside the backlog (the release is lost). Any thread.
    bool Keep(int row, int note)
    {
        if (!Inside(row, note))
            return false;
        const size_t flat = Flat(row, note);
        counts_[flat].fetch_add(1, std::memory_order_relaxed);
        words_[flat / 64].fetch_or(uint64_t{1} << (flat % 64), std::memory_order_release);
        pending_.store(true, std::memory_order_release);
        return true;
    }

    // False, and counted, while a release of this key is kept: the press
    // must wait until the worker has handled it. Any thread.
    bool AdmitsPress(int row, int note)
    {
        if (!Inside(row, note) || counts_[Flat(row, note)].load(std::memory_order_acquire) == 0)
            return true;
        refusedPresses_.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    uint64_t RefusedPresses() const { return refusedPresses_.load(std::memory_order_relaxed); }

    // Calls release(row, note) once for every kept release and forgets them.
    // Only the ring's worker.
    template <class Release>
    void Take(Release release)
    {
        if (!pending_.exchange(false, std::memory_order_acq_rel))
            return;
        for (size_t w = 0; w < WordCount(rows_); ++w) {
            uint64_t bits = words_[w].exchange(0, std::memory_order_acq_rel);
            while (bits) {
                const int bit = __builtin_ctzll(bits);
                bits &= bits - 1;
                const size_t flat = w * 64 + static_cast<size_t>(bit);
                for (uint32_t n = counts_[flat].exchange(0, std::memory_order_acq_rel); n > 0; --n)
                    release(static_cast<int>(flat / kNotes), static_cast<int>(flat % kNotes));
            }
        }
    }

private:
    static size_t WordCount(int rows) { return (static_cast<size_t>(rows) * kNotes + 63) / 64; }
    bool Inside(int row, int note) const { return row >= 0 && row < rows_ && note >= 0 && note < kNotes; }
    static size_t Flat(int row, int note) { return static_cast<size_t>(row) * kNotes + static_cast<size_t>(note); }

    const int rows_;
    std::unique_ptr<std::atomic<uint32_t>[]> counts_;
    std::unique_ptr<std::atomic<uint64_t>[]> words_;
    std::atomic<bool> pending_{false};
    std::atomic<uint64_t> refusedPresses_{0};
};

} // namespace corvinta
