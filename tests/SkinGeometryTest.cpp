// The skin library's geometry and images, read through the loader as the
// console reads them.

#include "platform/RecordingUserMessages.h"
#include "skin/SkinGeometry.h"
#include "skin/SkinLibrary.h"
#include "skin/SkinRegions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace corvinta;
using namespace corvinta::skin;

namespace {

bool Overlap(const Rect& a, const Rect& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool Inside(const Rect& inner, const Rect& outer)
{
    return inner.left >= outer.left && inner.right <= outer.right && inner.top >= outer.top &&
           inner.bottom <= outer.bottom;
}

Rect Union(const Rect& a, const Rect& b)
{
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

// Strictly "d,d,d,d;d,d,d,d..." with at least two rectangles: no signs, no
// blanks, no empty numbers, nothing after the last one.
bool WellFormed(const std::string& text)
{
    int numbers = 0;
    size_t digits = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        const char c = i < text.size() ? text[i] : ';';
        if (c >= '0' && c <= '9') {
            ++digits;
            continue;
        }
        if (digits == 0 || (c == ',') == (numbers % 4 == 3) || (c != ',' && c != ';'))
            return false;
        ++numbers;
        digits = 0;
    }
    return numbers >= 8;
}

std::string Show(const Rect& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

// Everything the console would fetch from the library, read once.
class SkinGeometry : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        RecordingUserMessages messages;
        SkinLibrary library(messages);
        ASSERT_TRUE(library.Open(SKIN_LIBRARY));
        library.Resolution(width_, height_);
        for (int region = 0; region <= kLastRegion; ++region)
            strings_[region] = library.Region(region);
        images_ = library.FetchImages();
    }

    // The window rectangle, then the shape's rectangles.
    static std::vector<Rect> Rects(int region) { return ParseGeometry(strings_[region]).value_or(std::vector<Rect>{}); }

    static bool IsKey(int region) { return region >= kFirstKeyRegion && region <= kLastKeyRegion; }

    static inline int width_ = 0, height_ = 0;
    static inline std::map<int, std::string> strings_;
    static inline std::optional<std::array<SkinImage, 2>> images_;
};

TEST_F(SkinGeometry, EveryRegionHasAWellFormedGeometryString)
{
    const Rect design{0, 0, width_, height_};
    for (int region = 0; region <= kLastRegion; ++region) {
        SCOPED_TRACE("region " + std::to_string(region) + ": " + strings_[region]);
        ASSERT_TRUE(WellFormed(strings_[region]));
        const std::vector<Rect> rects = Rects(region);
        ASSERT_GE(rects.size(), 2u);
        Rect bounds = rects[1];
        for (size_t i = 1; i < rects.size(); ++i) {
            EXPECT_LT(rects[i].left, rects[i].right);
            EXPECT_LT(rects[i].top, rects[i].bottom);
            EXPECT_TRUE(Inside(rects[i], design)) << Show(rects[i]);
            bounds = Union(bounds, rects[i]);
        }
        EXPECT_EQ(Show(rects[0]), Show(bounds)) << "the window rectangle bounds the shape";
    }
}

TEST_F(SkinGeometry, KeysFillTheirKeyboardRectangleAndSharpsLookLikeSharps)
{
    for (int division = 0; division < kDivisionCount; ++division) {
        if (!HasKeyboard(division))
            continue;
        const Rect keyboard = kDivisions[division].keyboard;
        SCOPED_TRACE(kDivisions[division].name);
        Rect bounds = Rects(KeyRegion(division, 0))[0];
        int narrowestNatural = keyboard.right - keyboard.left;
        for (int k = 0; k < KeyCount(division); ++k) {
            const std::vector<Rect> rects = Rects(KeyRegion(division, k));
            for (const Rect& r : rects)
                EXPECT_TRUE(Inside(r, keyboard)) << "key " << k << ": " << Show(r);
            bounds = Union(bounds, rects[0]);
            if (rects.size() > 2) // a natural: its full-width front reaches the keyboard's front edge
                narrowestNatural = std::min(narrowestNatural, rects[0].right - rects[0].left);
        }
        EXPECT_EQ(Show(bounds), Show(keyboard)) << "the keys make up the whole keyboard";

        for (int k = 0; k < KeyCount(division); ++k) {
            const int pc = (kDivisions[division].lowNote + k) % 12;
            const bool sharp = pc == 1 || pc == 3 || pc == 6 || pc == 8 || pc == 10;
            const std::vector<Rect> rects = Rects(KeyRegion(division, k));
            if (sharp) {
                // One block at the back of the keyboard, narrower and shorter than a natural.
                ASSERT_EQ(rects.size(), 2u) << "key " << k;
                EXPECT_EQ(rects[1].top, keyboard.top);
                EXPECT_LT(rects[1].bottom, keyboard.bottom);
                EXPECT_LT(rects[1].right - rects[1].left, narrowestNatural);
            } else {
                EXPECT_EQ(rects[0].bottom, keyboard.bottom) << "key " << k;
            }
        }
    }
}

TEST_F(SkinGeometry, NoTwoControlsOverlap)
{
    // Shapes: no point belongs to two regions.
    std::vector<std::pair<int, Rect>> pieces;
    for (int region = 0; region <= kLastRegion; ++region) {
        const std::vector<Rect> rects = Rects(region);
        for (size_t i = 1; i < rects.size(); ++i)
            pieces.emplace_back(region, rects[i]);
    }
    for (size_t i = 0; i < pieces.size(); ++i)
        for (size_t j = i + 1; j < pieces.size(); ++j)
            if (pieces[i].first != pieces[j].first) {
                EXPECT_FALSE(Overlap(pieces[i].second, pieces[j].second))
                    << "regions " << pieces[i].first << " and " << pieces[j].first;
            }

    // Windows, as the console makes them: one per keyboard, and the shoes'
    // sliders stretched beyond their regions for the thumb's travel.
    std::vector<std::pair<int, Rect>> windows;
    for (int region = 0; region <= kLastRegion; ++region) {
        if (IsKey(region))
            continue;
        Rect w = Rects(region)[0];
        if (region >= kShoeBodyRegion && region < kShoeBodyRegion + kShoeCount)
            w.left -= 1;
        else if (region >= kShoeUpperMarkerRegion && region < kShoeUpperMarkerRegion + kShoeCount)
            w.top -= 12;
        else if (region >= kShoeLowerMarkerRegion && region < kShoeLowerMarkerRegion + kShoeCount)
            w.top -= 9, w.bottom += 9;
        windows.emplace_back(region, w);
    }
    for (int division : {0, 2, 4})
        windows.emplace_back(kDivisions[division].skinRegionBase, kDivisions[division].keyboard);
    for (size_t i = 0; i < windows.size(); ++i)
        for (size_t j = i + 1; j < windows.size(); ++j)
            EXPECT_FALSE(Overlap(windows[i].second, windows[j].second))
                << "windows of " << windows[i].first << " and " << windows[j].first;
}

TEST_F(SkinGeometry, OnlyTheControlsDifferBetweenTheTwoImages)
{
    ASSERT_TRUE(images_.has_value());
    const SkinImage& off = (*images_)[0];
    const SkinImage& on = (*images_)[1];
    const auto pixel = [](const SkinImage& image, int x, int y) {
        const uint8_t* p = image.pixels.data() + (static_cast<size_t>(y) * image.width + x) * 4;
        return p[0] | (p[1] << 8) | (p[2] << 16);
    };
    std::vector<uint8_t> covered(static_cast<size_t>(width_) * height_, 0);
    for (int region = 0; region <= kLastRegion; ++region) {
        const std::vector<Rect> rects = Rects(region);
        int changed = 0;
        for (size_t i = 1; i < rects.size(); ++i)
            for (int y = rects[i].top; y < rects[i].bottom; ++y)
                for (int x = rects[i].left; x < rects[i].right; ++x) {
                    covered[static_cast<size_t>(y) * width_ + x] = 1;
                    changed += pixel(off, x, y) != pixel(on, x, y);
                }
        // The nameplate and the player's displays and tempo track look the same either way.
        const bool still = region == kPanicRegion || (region >= kPlayerFileTitle && region <= kPlayerTempoSlider);
        if (still)
            EXPECT_EQ(changed, 0) << "region " << region;
        else
            EXPECT_GT(changed, 0) << "region " << region << " looks the same on and off";
    }
    // The console shows image 0 behind the controls, so elsewhere image 1 must match it.
    int strays = 0;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            strays += !covered[static_cast<size_t>(y) * width_ + x] && pixel(off, x, y) != pixel(on, x, y);
    EXPECT_EQ(strays, 0);
}

TEST(SkinGeometryString, ReadsAsTheConsoleReadsIt)
{
    struct Case {
        const char* text;
        double scale;
        std::optional<std::vector<std::string>> rects;
    };
    const Case cases[] = {
        {"1,2,3,4;5,6,7,8", 1.0, {{"1,2,3,4", "5,6,7,8"}}},
        {"1,2,3,4", 1.5, {{"2,3,5,6"}}},          // v * scale + 0.5, truncated
        {"10,20,30,40;;5,6,7,8", 1.0, {{"10,20,30,40"}}}, // an empty piece ends the list
        {"", 1.0, {std::vector<std::string>{}}},
        {"1,2,,4", 1.0, std::nullopt},
        {"1,2,3", 1.0, std::nullopt},
        {"1,2,3,4,5", 1.0, std::nullopt},
        {"1,2,3,x", 1.0, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto parsed = ParseGeometry(c.text, c.scale);
        ASSERT_EQ(parsed.has_value(), c.rects.has_value());
        if (!parsed)
            continue;
        std::vector<std::string> shown;
        for (const Rect& r : *parsed)
            shown.push_back(Show(r));
        EXPECT_EQ(shown, *c.rects);
    }
}

} // namespace
