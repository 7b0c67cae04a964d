#pragma once
// What the console's face shows, as the window's copy of the organ's state.
// The MIDI input worker writes it through the display interface and the GUI
// thread through the controls; only the GUI thread paints from it. Every
// field is atomic, and what changed is kept as bits until the next repaint
// takes them, so a worker never waits for the window.

#include "organ/OrganTables.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace corvinta::ui {

class ConsoleFaceState {
public:
    // Tabs, pistons and console buttons by item number.
    bool Checked(int item) const { return InItems(item) && checked_[Index(item)].load(std::memory_order_relaxed); }
    bool Pressed(int item) const { return InItems(item) && pressed_[Index(item)].load(std::memory_order_relaxed); }
    void SetChecked(int item, bool on) { Store(checked_, item, on); }
    void SetPressed(int item, bool on) { Store(pressed_, item, on); }

    // The memory level shown; a level past the selectors shows as 0.
    int MemoryLevel() const { return memoryLevel_.load(std::memory_order_relaxed); }
    void SetMemoryLevel(int level);

    // Keys changed since the last repaint: bit k of the division's word.
    void MarkKey(int division, int keyIndex);
    void MarkAllKeys();

    // What changed since the last call; the GUI thread repaints it.
    struct Changes {
        std::array<uint64_t, 3> items{};
        std::array<uint64_t, kDivisionCount> keys{};
        bool memoryLevels = false;
        bool Any() const;
    };
    Changes TakeChanges();

private:
    static constexpr bool InItems(int item) { return item >= 0 && item < kItemCount; }
    static constexpr size_t Index(int item) { return static_cast<size_t>(item); }
    void Store(std::array<std::atomic<bool>, kItemCount>& states, int item, bool on);
    void MarkItem(int item);

    std::array<std::atomic<bool>, kItemCount> checked_{};
    std::array<std::atomic<bool>, kItemCount> pressed_{};
    std::atomic<int> memoryLevel_{0};
    std::array<std::atomic<uint64_t>, 3> changedItems_{};
    std::array<std::atomic<uint64_t>, kDivisionCount> changedKeys_{};
    std::atomic<bool> changedMemoryLevels_{false};
};

} // namespace corvinta::ui
