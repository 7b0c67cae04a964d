#pragma once
// Scales the skin's whole-console images by the console's scale factor:
// enlarging blends each pixel with its right and lower neighbours, shrinking
// averages the block of source pixels each destination pixel covers, and a
// factor of exactly 1 copies. Pixels are 4 bytes (blue, green, red, unused).

#include "skin/SkinLibrary.h"

#include <cstdint>
#include <utility>

namespace corvinta::skin {

class CImageResizer {
public:
    explicit CImageResizer(double factor) : enlarging_(factor > 1.0), factor_(factor) {}
    virtual ~CImageResizer() = default;

    // (int)(width x factor), (int)(height x factor).
    std::pair<int, int> ScaledSize(int width, int height) const;
    // Fills destination (destination width x height pixels, the size
    // ScaledSize gives). False, with the destination untouched, when the
    // factor is not positive or a size does not fit.
    bool Resize(const uint8_t* source, int sourceWidth, int sourceHeight, uint8_t* destination, int destinationWidth,
                int destinationHeight) const;

private:
    void Enlarge(const uint8_t* source, int sw, int sh, uint8_t* destination, int dw, int dh) const;
    void Shrink(const uint8_t* source, int sw, int sh, uint8_t* destination, int dw, int dh) const;

    bool enlarging_;
    double factor_;
};

// Scales an image in place. False, with the image as it was, when the factor
// is not positive or the scaled image would be empty or too large.
bool ResizeImage(SkinImage& image, double factor);

} // namespace corvinta::skin
