#pragma once
#include "organ/ConsoleTab.h"
#include "organ/ItemSet.h"

#include <array>

namespace corvinta {

// What a piston remembers: per memory level, the items it draws and the
// items it may change.
struct PistonMemory {
    std::array<ItemSet, kMemoryLevelCount> drawn;
    std::array<ItemSet, kMemoryLevelCount> scope;
};

struct CPiston : CConsoleTab {
    std::array<ItemSet, kMemoryLevelCount> drawn;
    std::array<ItemSet, kMemoryLevelCount> scope;
    int32_t key = 0;      // computer-keyboard virtual-key code
    int32_t division = 0;

    // The built-in memory: level 0 from the piston table, levels 1..9 empty,
    // level 10 the base camp crescendo stage.
    void SetDefaultMemory(int pistonIndex);
};

} // namespace corvinta
