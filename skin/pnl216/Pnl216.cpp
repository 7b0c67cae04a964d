// The skin library's six entry points, looked up by name by the console.

#include "skin/SkinRegions.h"
#include "skin/pnl216/ArtCodec.h"
#include "skin/pnl216/SkinLayout.h"

#include <array>
#include <optional>
#include <string>

#define PNL_EXPORT extern "C" __attribute__((visibility("default")))

// The encoded artwork, linked in from the build's art file.
extern "C" const uint8_t corvinta_skin_art[];
extern "C" const uint8_t corvinta_skin_art_end[];

namespace {

using namespace corvinta::skin;

const std::string kSignatureText(kSignature);

const std::array<std::string, kLastRegion + 1>& GeometryStrings()
{
    static const auto strings = [] {
        std::array<std::string, kLastRegion + 1> s;
        for (const SkinElement& e : SkinLayout::Instance().Elements())
            s[static_cast<size_t>(e.region)] = GeometryString(e);
        return s;
    }();
    return strings;
}

// Between InitPNG and FreePNG: the two decoded console images.
std::optional<std::vector<ConsoleImage>> gImages;

} // namespace

PNL_EXPORT const char* GetSignature() { return kSignatureText.c_str(); }

PNL_EXPORT void GetResolution(int* width, int* height)
{
    if (width)
        *width = kDesignWidth;
    if (height)
        *height = kDesignHeight;
}

// An empty string for a region the console does not have.
PNL_EXPORT const char* GetRegion(int skinSet, int region)
{
    if (skinSet != kSkinSet || !IsUsedRegion(region))
        return "";
    return GeometryStrings()[static_cast<size_t>(region)].c_str();
}

PNL_EXPORT void InitPNG()
{
    const std::span<const uint8_t> art(corvinta_skin_art,
                                       static_cast<size_t>(corvinta_skin_art_end - corvinta_skin_art));
    gImages = DecodeArt(art);
}

// Null when InitPNG has not run, the art is damaged or there is no such image.
PNL_EXPORT const uint8_t* GetBitmapData(int index, int* width, int* height)
{
    if (!gImages || index < 0 || static_cast<size_t>(index) >= gImages->size())
        return nullptr;
    const ConsoleImage& image = (*gImages)[static_cast<size_t>(index)];
    if (width)
        *width = image.width;
    if (height)
        *height = image.height;
    return image.pixels.data();
}

PNL_EXPORT void FreePNG() { gImages.reset(); }
