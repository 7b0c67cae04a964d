#include "organ/Division.h"

namespace corvinta {

CDivision::CDivision(CConsole& owner, int n, double scale) : console(owner), number(n)
{
    const DivisionSpec& spec = kDivisions[static_cast<size_t>(n)];
    name = std::string(spec.name);
    shortName = std::string(spec.shortName);
    firstTouchDivision = spec.firstTouchDivision;
    secondTouchDivision = spec.secondTouchDivision;
    isSecondTouch = number != firstTouchDivision;
    firstStop = FirstStopOf(n);
    stopCount = spec.stopCount;
    keyboardRect = Rect{static_cast<int>(spec.keyboard.left * scale), static_cast<int>(spec.keyboard.top * scale),
                        static_cast<int>(spec.keyboard.right * scale), static_cast<int>(spec.keyboard.bottom * scale)};
    lowNote = spec.lowNote;
    highNote = spec.highNote;
    skinRegionBase = spec.skinRegionBase;
    if (!isSecondTouch) {
        keyboard.lowestNote = lowNote;
        keyboard.keyCount = highNote - lowNote + 1;
    }
}

} // namespace corvinta
