#include "organ/Division.h"

namespace corvinta {

CDivision::CDivision(CConsole& owner, int n, double scale) : console(owner), number(n)
{
    const DivisionDefinition& def = kDivisions[static_cast<size_t>(n)];
    name = std::string(def.name);
    shortName = std::string(def.shortName);
    firstTouchDivision = def.firstTouchDivision;
    secondTouchDivision = def.secondTouchDivision;
    isSecondTouch = number != firstTouchDivision;
    firstStop = FirstStopOf(n);
    stopCount = def.stopCount;
    keyboardRect = Rect{static_cast<int>(def.keyboard.left * scale), static_cast<int>(def.keyboard.top * scale),
                        static_cast<int>(def.keyboard.right * scale), static_cast<int>(def.keyboard.bottom * scale)};
    lowNote = def.lowNote;
    highNote = def.highNote;
    skinRegionBase = def.skinRegionBase;
    if (!isSecondTouch) {
        keyboard.lowestNote = lowNote;
        keyboard.keyCount = highNote - lowNote + 1;
    }
}

} // namespace corvinta
