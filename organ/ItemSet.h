#pragma once
// A set of console items indexed by global item number (0..127): a
// combination's drawn set and scope, the registration, the CSV columns.
// Stored as two 64-bit words, bit n in word n / 64; on disk the same memory
// is four little-endian 32-bit words.

#include <cstdint>
#include <initializer_list>
#include <utility>

namespace corvinta {

class ItemSet {
public:
    static constexpr int kBits = 128;

    constexpr ItemSet() = default;

    // Closed ranges of item numbers, {first, last}.
    static constexpr ItemSet FromRanges(std::initializer_list<std::pair<int, int>> ranges)
    {
        ItemSet s;
        for (auto [first, last] : ranges)
            for (int n = first; n <= last; ++n)
                s.Set(n);
        return s;
    }

    static constexpr ItemSet FromWords32(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3)
    {
        ItemSet s;
        s.words_[0] = uint64_t(w0) | (uint64_t(w1) << 32);
        s.words_[1] = uint64_t(w2) | (uint64_t(w3) << 32);
        return s;
    }

    constexpr bool Test(int n) const
    {
        return InRange(n) && ((words_[n >> 6] >> (n & 63)) & 1u);
    }
    constexpr void Set(int n, bool on = true)
    {
        if (!InRange(n))
            return;
        const uint64_t bit = uint64_t(1) << (n & 63);
        if (on)
            words_[n >> 6] |= bit;
        else
            words_[n >> 6] &= ~bit;
    }
    constexpr void Clear(int n) { Set(n, false); }

    constexpr uint32_t Word32(int i) const
    {
        return static_cast<uint32_t>(words_[i >> 1] >> ((i & 1) * 32));
    }
    constexpr uint64_t Word64(int i) const { return words_[i]; }

    constexpr bool Empty() const { return (words_[0] | words_[1]) == 0; }
    constexpr int Count() const { return __builtin_popcountll(words_[0]) + __builtin_popcountll(words_[1]); }

    constexpr ItemSet operator&(const ItemSet& o) const { return Make(words_[0] & o.words_[0], words_[1] & o.words_[1]); }
    constexpr ItemSet operator|(const ItemSet& o) const { return Make(words_[0] | o.words_[0], words_[1] | o.words_[1]); }
    constexpr ItemSet operator~() const { return Make(~words_[0], ~words_[1]); }
    constexpr bool operator==(const ItemSet&) const = default;

private:
    static constexpr bool InRange(int n) { return n >= 0 && n < kBits; }
    static constexpr ItemSet Make(uint64_t lo, uint64_t hi)
    {
        ItemSet s;
        s.words_[0] = lo;
        s.words_[1] = hi;
        return s;
    }

    uint64_t words_[2] = {0, 0};
};

} // namespace corvinta
