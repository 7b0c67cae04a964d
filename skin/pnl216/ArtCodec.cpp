#include "skin/pnl216/ArtCodec.h"

#include <zlib.h>

#include <cstring>

namespace corvinta::skin {

namespace {

constexpr uint8_t kMagic[4] = {'C', 'V', 'A', '1'};
constexpr int kMaxSide = 16384;

void PutU32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

bool GetU32(std::span<const uint8_t>& in, uint32_t& v)
{
    if (in.size() < 4)
        return false;
    v = in[0] | (in[1] << 8) | (in[2] << 16) | (static_cast<uint32_t>(in[3]) << 24);
    in = in.subspan(4);
    return true;
}

} // namespace

std::vector<uint8_t> EncodeArt(std::span<const ConsoleImage> images)
{
    std::vector<uint8_t> out(std::begin(kMagic), std::end(kMagic));
    PutU32(out, static_cast<uint32_t>(images.size()));
    for (const ConsoleImage& image : images) {
        const size_t stride = static_cast<size_t>(image.width) * 4;
        std::vector<uint8_t> delta(image.pixels);
        for (size_t i = delta.size(); i-- > stride;)
            delta[i] = static_cast<uint8_t>(delta[i] - delta[i - stride]);
        uLongf packedSize = compressBound(delta.size());
        std::vector<uint8_t> packed(packedSize);
        compress2(packed.data(), &packedSize, delta.data(), delta.size(), Z_BEST_COMPRESSION);
        PutU32(out, static_cast<uint32_t>(image.width));
        PutU32(out, static_cast<uint32_t>(image.height));
        PutU32(out, static_cast<uint32_t>(packedSize));
        out.insert(out.end(), packed.begin(), packed.begin() + static_cast<long>(packedSize));
    }
    return out;
}

std::optional<std::vector<ConsoleImage>> DecodeArt(std::span<const uint8_t> in)
{
    if (in.size() < 4 || std::memcmp(in.data(), kMagic, 4) != 0)
        return std::nullopt;
    in = in.subspan(4);
    uint32_t count = 0;
    if (!GetU32(in, count) || count > 16)
        return std::nullopt;
    std::vector<ConsoleImage> images;
    for (uint32_t n = 0; n < count; ++n) {
        uint32_t width = 0, height = 0, packedSize = 0;
        if (!GetU32(in, width) || !GetU32(in, height) || !GetU32(in, packedSize))
            return std::nullopt;
        if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide || packedSize > in.size())
            return std::nullopt;
        ConsoleImage image{static_cast<int>(width), static_cast<int>(height), {}};
        image.pixels.resize(static_cast<size_t>(width) * height * 4);
        uLongf size = image.pixels.size();
        if (uncompress(image.pixels.data(), &size, in.data(), packedSize) != Z_OK || size != image.pixels.size())
            return std::nullopt;
        const size_t stride = static_cast<size_t>(width) * 4;
        for (size_t i = stride; i < image.pixels.size(); ++i)
            image.pixels[i] = static_cast<uint8_t>(image.pixels[i] + image.pixels[i - stride]);
        in = in.subspan(packedSize);
        images.push_back(std::move(image));
    }
    return images;
}

} // namespace corvinta::skin
