#pragma once
#include "organ/ConsoleTab.h"

namespace corvinta {

struct CTrem : CConsoleTab {
    uint32_t rankMask = 0; // bit r = rank r
    ControlAssignment control;
};

} // namespace corvinta
