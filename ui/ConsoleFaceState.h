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

    // A shoe's position: the swells 0..127, the crescendo its stage 0..23.
    int Shoe(int shoe) const { return shoe >= 0 && shoe < 3 ? shoes_[static_cast<size_t>(shoe)].load(std::memory_order_relaxed) : 0; }
    void SetShoe(int shoe, int position);
    // The player's panel changed (from any thread).
    void MarkPlayer() { changedPlayer_.store(true, std::memory_order_release); }

    // Keys changed since the last repaint: bit k of the division's word.
    void MarkKey(int division, int keyIndex);
    void MarkAllKeys();
    // A panic let every key go: the window's own held keys go too.
    void MarkKeyboardsCleared() { keyboardsCleared_.store(true, std::memory_order_release); }

    // What changed since the last call; the GUI thread repaints it.
    struct Changes {
        std::array<uint64_t, 3> items{};
        std::array<uint64_t, kDivisionCount> keys{};
        bool memoryLevels = false;
        uint8_t shoes = 0; // bit per shoe
        bool player = false;
        bool keyboardsCleared = false;
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
    std::array<std::atomic<int>, 3> shoes_{};
    std::atomic<uint8_t> changedShoes_{0};
    std::atomic<bool> changedPlayer_{false};
    std::atomic<bool> keyboardsCleared_{false};
};

} // namespace corvinta::ui
