#pragma once
#include <cstdint>
#include <string>

namespace corvinta {

// A continuous control: a swell shoe, the crescendo pedal, the memory-level control.
struct CAuxControl {
    std::string name;
    uint8_t defaultChannel = 15;
    uint8_t defaultController = 0;
    uint8_t channel = 15;
    uint8_t controller = 0;
};

} // namespace corvinta
