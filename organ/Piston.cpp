#include "organ/Piston.h"

namespace corvinta {

void CPiston::SetDefaultMemory(int pistonIndex)
{
    const PistonDefinition& def = kPistons[pistonIndex];
    drawn[0] = def.drawn;
    scope[0] = def.scope;
    for (int level = 1; level < kCrescendoLevel; ++level) {
        drawn[level] = ItemSet{};
        scope[level] = kDefaultUserLevelScope;
    }
    const auto& stage = kBaseCampCrescendo[pistonIndex];
    drawn[kCrescendoLevel] = ItemSet::FromWords32(uint32_t(stage[0]), uint32_t(stage[0] >> 32),
                                                  uint32_t(stage[1]), uint32_t(stage[1] >> 32));
    scope[kCrescendoLevel] = kAllItems;
}

} // namespace corvinta
