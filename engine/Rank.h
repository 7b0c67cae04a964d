#pragma once
// A rank as the output engine keeps it.

#include <cstdint>
#include <string>

namespace corvinta {

struct CRank {
    std::string name;
    int chamber = -1; // 0 Main, 1 Solo, -1 none
};

} // namespace corvinta
