#pragma once
// Geometry strings of the skin library: rectangles of four decimal integers
// (left, top, right, bottom) joined by ",", rectangles separated by ";". The
// first rectangle is the control's window; the others make up its shape.

#include "organ/OrganTables.h"

#include <optional>
#include <string_view>
#include <vector>

namespace corvinta::skin {

// Reads the rectangles of `text`, each value multiplied by `scale` and
// rounded (v * scale + 0.5, truncated). Reading stops at the first empty
// piece; a missing or malformed number makes the whole result empty.
std::optional<std::vector<Rect>> ParseGeometry(std::string_view text, double scale = 1.0);

} // namespace corvinta::skin
