#include "ui/ConsoleFaceState.h"

namespace corvinta::ui {

static_assert(kItemCount <= 3 * 64, "every item needs its change bit");

void ConsoleFaceState::Store(std::array<std::atomic<bool>, kItemCount>& states, int item, bool on)
{
    if (!InItems(item))
        return;
    if (states[Index(item)].exchange(on, std::memory_order_relaxed) != on)
        MarkItem(item);
}

void ConsoleFaceState::MarkItem(int item)
{
    changedItems_[Index(item) / 64].fetch_or(uint64_t{1} << (item % 64), std::memory_order_release);
}

void ConsoleFaceState::SetMemoryLevel(int level)
{
    if (level < 0 || level >= kMemoryLevelCount)
        level = 0;
    if (memoryLevel_.exchange(level, std::memory_order_relaxed) != level)
        changedMemoryLevels_.store(true, std::memory_order_release);
}

void ConsoleFaceState::SetShoe(int shoe, int position)
{
    if (shoe < 0 || shoe >= 3)
        return;
    if (shoes_[static_cast<size_t>(shoe)].exchange(position, std::memory_order_relaxed) != position)
        changedShoes_.fetch_or(static_cast<uint8_t>(1u << shoe), std::memory_order_release);
}

void ConsoleFaceState::MarkKey(int division, int keyIndex)
{
    if (division < 0 || division >= kDivisionCount || keyIndex < 0 || keyIndex >= 64)
        return;
    changedKeys_[static_cast<size_t>(division)].fetch_or(uint64_t{1} << keyIndex, std::memory_order_release);
}

void ConsoleFaceState::MarkAllKeys()
{
    for (auto& keys : changedKeys_)
        keys.store(~uint64_t{0}, std::memory_order_release);
}

bool ConsoleFaceState::Changes::Any() const
{
    for (uint64_t w : items)
        if (w)
            return true;
    for (uint64_t w : keys)
        if (w)
            return true;
    return memoryLevels || shoes || player || keyboardsCleared;
}

ConsoleFaceState::Changes ConsoleFaceState::TakeChanges()
{
    Changes c;
    for (size_t i = 0; i < c.items.size(); ++i)
        c.items[i] = changedItems_[i].exchange(0, std::memory_order_acquire);
    for (size_t d = 0; d < c.keys.size(); ++d)
        c.keys[d] = changedKeys_[d].exchange(0, std::memory_order_acquire);
    c.memoryLevels = changedMemoryLevels_.exchange(false, std::memory_order_acquire);
    c.shoes = changedShoes_.exchange(0, std::memory_order_acquire);
    c.player = changedPlayer_.exchange(false, std::memory_order_acquire);
    c.keyboardsCleared = keyboardsCleared_.exchange(false, std::memory_order_acquire);
    return c;
}

} // namespace corvinta::ui
