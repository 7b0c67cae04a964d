#pragma once
// PLACEHOLDER until the resizer branch lands.
#include "skin/SkinLibrary.h"
namespace corvinta::skin {
inline bool ResizeImage(SkinImage& image, double f)
{
    if (f <= 0) return false;
    SkinImage out; out.width = int(image.width * f); out.height = int(image.height * f);
    out.pixels.resize(size_t(out.width) * out.height * 4);
    for (int y = 0; y < out.height; ++y) for (int x = 0; x < out.width; ++x)
        for (int c = 0; c < 4; ++c) out.pixels[(size_t(y) * out.width + x) * 4 + c] = image.pixels[(size_t(int(y / f)) * image.width + int(x / f)) * 4 + c];
    image = std::move(out); return true;
}
}
