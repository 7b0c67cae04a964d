#pragma once
// Where a skinned slider's thumb sits for a value, and which value a point
// means: one mapping for both, so a click lands under the pointer. The thumb
// travels between an inset from either end; the minimum is at the top of a
// vertical slider (the left of a horizontal one).

#include <algorithm>
#include <cmath>

namespace corvinta::ui {

struct SliderMapping {
    int start = 0;  // the slider's top (or left) in window pixels
    int length = 0; // its height (or width)
    int inset = 13; // the thumb's centre stays this far from either end
    int minimum = 0;
    int maximum = 127;

    int Travel() const { return std::max(1, length - 2 * inset - 1); }

    // The thumb's centre for a value.
    int ThumbCentre(int value) const
    {
        const int v = std::clamp(value, minimum, maximum);
        const double f = maximum > minimum ? double(v - minimum) / (maximum - minimum) : 0.0;
        return start + inset + int(std::lround(Travel() * f));
    }

    // The value under a point (clamped to the range).
    int ValueAt(int coordinate) const
    {
        const double f = std::clamp(double(coordinate - start - inset) / Travel(), 0.0, 1.0);
        return minimum + int(f * (maximum - minimum) + 0.5);
    }
};

} // namespace corvinta::ui
