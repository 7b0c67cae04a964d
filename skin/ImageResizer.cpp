#include "skin/ImageResizer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <vector>

namespace corvinta::skin {

namespace {
constexpr int kBytes = 4;
constexpr int kMaxSide = 1 << 15; // far beyond any screen; keeps sizes in int
} // namespace

std::pair<int, int> CImageResizer::ScaledSize(int width, int height) const
{
    return {static_cast<int>(width * factor_), static_cast<int>(height * factor_)};
}

bool CImageResizer::Resize(const uint8_t* source, int sw, int sh, uint8_t* destination, int dw, int dh) const
{
    if (!(factor_ > 0.0) || !source || !destination || sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0)
        return false;
    if (factor_ == 1.0) {
        if (dw != sw || dh != sh)
            return false;
        std::copy(source, source + size_t(sw) * size_t(sh) * kBytes, destination);
        return true;
    }
    if (enlarging_)
        Enlarge(source, sw, sh, destination, dw, dh);
    else
        Shrink(source, sw, sh, destination, dw, dh);
    return true;
}

// Each destination pixel samples the source at (i / factor, j / factor): the
// mean of its blend with the right neighbour and its blend with the one
// below, the last column and row standing in for neighbours past the edge.
void CImageResizer::Enlarge(const uint8_t* source, int sw, int sh, uint8_t* destination, int dw, int dh) const
{
    const double step = 1.0 / factor_;
    for (int j = 0; j < dh; ++j) {
        const double y = j * step;
        const int y0 = std::min(static_cast<int>(y), sh - 1);
        const double dy = y - y0;
        const int below = std::min(y0 + 1, sh - 1);
        const uint8_t* row = source + size_t(y0) * size_t(sw) * kBytes;
        const uint8_t* rowBelow = source + size_t(below) * size_t(sw) * kBytes;
        uint8_t* out = destination + size_t(j) * size_t(dw) * kBytes;
        for (int i = 0; i < dw; ++i, out += kBytes) {
            const double x = i * step;
            const int x0 = std::min(static_cast<int>(x), sw - 1);
            const double dx = x - x0;
            const int right = std::min(x0 + 1, sw - 1);
            const uint8_t* a = row + size_t(x0) * kBytes;
            const uint8_t* r = row + size_t(right) * kBytes;
            const uint8_t* b = rowBelow + size_t(x0) * kBytes;
            for (int c = 0; c < 3; ++c)
                out[c] = static_cast<uint8_t>(((dx * r[c] + (1 - dx) * a[c]) + ((1 - dy) * a[c] + dy * b[c])) / 2);
            out[3] = 0;
        }
    }
}

// Destination column i averages the source columns from floor(i / factor)
// to floor((i + 1) / factor) - 1, so each source column counts exactly once
// (at 0.5 every pixel is the mean of a 2 x 2 block); the last column and
// row take whatever is left at the edge. Rows the same.
void CImageResizer::Shrink(const uint8_t* source, int sw, int sh, uint8_t* destination, int dw, int dh) const
{
    auto edges = [this](int count, int sourceCount) {
        std::vector<int> first(static_cast<size_t>(count) + 1);
        for (int i = 0; i < count; ++i)
            first[static_cast<size_t>(i)] = std::min(sourceCount - 1, static_cast<int>(i / factor_));
        first[static_cast<size_t>(count)] = sourceCount;
        for (int i = 1; i <= count; ++i) // never an empty block
            first[static_cast<size_t>(i)] = std::max(first[static_cast<size_t>(i)], first[static_cast<size_t>(i - 1)] + 1);
        return first;
    };
    const std::vector<int> columns = edges(dw, sw);
    const std::vector<int> rows = edges(dh, sh);
    std::vector<uint32_t> sums(size_t(dw) * 3);
    for (int j = 0; j < dh; ++j) {
        std::fill(sums.begin(), sums.end(), 0);
        const int top = rows[size_t(j)], bottom = std::min(rows[size_t(j) + 1], sh);
        for (int y = top; y < bottom; ++y) {
            const uint8_t* row = source + size_t(y) * size_t(sw) * kBytes;
            for (int i = 0; i < dw; ++i) {
                const int left = columns[size_t(i)], end = std::min(columns[size_t(i) + 1], sw);
                uint32_t* sum = &sums[size_t(i) * 3];
                for (int x = left; x < end; ++x)
                    for (int c = 0; c < 3; ++c)
                        sum[c] += row[size_t(x) * kBytes + size_t(c)];
            }
        }
        uint8_t* out = destination + size_t(j) * size_t(dw) * kBytes;
        for (int i = 0; i < dw; ++i, out += kBytes) {
            const uint32_t count =
                uint32_t(std::min(columns[size_t(i) + 1], sw) - columns[size_t(i)]) * uint32_t(bottom - top);
            for (int c = 0; c < 3; ++c)
                out[c] = count ? static_cast<uint8_t>(sums[size_t(i) * 3 + size_t(c)] / count) : 0;
            out[3] = 0;
        }
    }
}

bool ResizeImage(SkinImage& image, double factor)
{
    if (!(factor > 0.0) || !std::isfinite(factor) || image.width <= 0 || image.height <= 0 ||
        image.pixels.size() < size_t(image.width) * size_t(image.height) * kBytes)
        return false;
    const double w = image.width * factor, h = image.height * factor;
    if (w < 1 || h < 1 || w > kMaxSide || h > kMaxSide)
        return false;
    const CImageResizer resizer(factor);
    const auto [dw, dh] = resizer.ScaledSize(image.width, image.height);
    std::vector<uint8_t> scaled;
    try {
        scaled.assign(size_t(dw) * size_t(dh) * kBytes, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!resizer.Resize(image.pixels.data(), image.width, image.height, scaled.data(), dw, dh))
        return false;
    image.width = dw;
    image.height = dh;
    image.pixels = std::move(scaled);
    return true;
}

} // namespace corvinta::skin
