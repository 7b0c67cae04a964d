#pragma once
// How the library keeps its two console images: each row is stored as its
// difference from the row above, then deflated. Smooth artwork shrinks to a
// small part of its 3 MB of pixels this way.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace corvinta::skin {

// 4 bytes a pixel (blue, green, red, unused), rows top to bottom.
struct ConsoleImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

std::vector<uint8_t> EncodeArt(std::span<const ConsoleImage> images);
// Nothing when the data is damaged or is not ours.
std::optional<std::vector<ConsoleImage>> DecodeArt(std::span<const uint8_t> data);

} // namespace corvinta::skin
