// The skin images' resizer and the console's scale, as pure functions.

#include "skin/ConsoleScale.h"
#include "skin/ImageResizer.h"

#include <gtest/gtest.h>

using namespace corvinta::skin;

namespace {

// A grey image whose pixels are given row by row (blue = green = red).
SkinImage Grey(int width, int height, std::vector<int> values)
{
    SkinImage image{width, height, {}};
    for (int v : values)
        image.pixels.insert(image.pixels.end(), {uint8_t(v), uint8_t(v), uint8_t(v), 255});
    return image;
}

std::vector<int> Values(const SkinImage& image)
{
    std::vector<int> values;
    for (size_t p = 0; p < image.pixels.size(); p += 4) {
        EXPECT_EQ(image.pixels[p], image.pixels[p + 2]);
        values.push_back(image.pixels[p]);
    }
    return values;
}

TEST(ImageResizer, CopiesEnlargesAndShrinksAsTheFactorSays)
{
    const struct {
        const char* name;
        SkinImage source;
        double factor;
        int width, height;
        std::vector<int> expected;
    } cases[] = {
        {"1 copies", Grey(2, 2, {1, 2, 3, 4}), 1.0, 2, 2, {1, 2, 3, 4}},
        // Each pixel the mean of its 2 x 2 block (truncated).
        {"0.5 averages blocks", Grey(4, 2, {0, 10, 20, 31, 100, 110, 120, 130}), 0.5, 2, 1, {55, 75}},
        // Columns 0 | 1 | 2 3 | 4 | 5 | 6 7: every column counts once.
        {"0.75 covers each column once", Grey(8, 2, {0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7}), 0.75, 6, 1,
         {0, 1, 2, 4, 5, 6}},
        // ((dx R + (1 - dx) A) + ((1 - dy) A + dy B)) / 2, the last column and
        // row standing in for what lies past the edge.
        {"2 blends with the right and lower neighbours", Grey(2, 2, {0, 100, 200, 40}), 2.0, 4, 4,
         {0, 25, 100, 100,      // row 0: dy 0
          50, 75, 85, 85,       // row 1: dy 0.5
          200, 160, 40, 40,     // row 2: the second source row, B clamped to it
          200, 160, 40, 40}},   // row 3
    };
    for (const auto& c : cases) {
        SkinImage image = c.source;
        ASSERT_TRUE(ResizeImage(image, c.factor)) << c.name;
        EXPECT_EQ(image.width, c.width) << c.name;
        EXPECT_EQ(image.height, c.height) << c.name;
        EXPECT_EQ(Values(image), c.expected) << c.name;
    }
}

TEST(ImageResizer, AFactorThatCannotScaleLeavesTheImageAsItWas)
{
    const SkinImage original = Grey(2, 2, {1, 2, 3, 4});
    for (double factor : {0.0, -1.0, 0.1, 1e9, std::numeric_limits<double>::quiet_NaN()}) {
        SkinImage image = original;
        EXPECT_FALSE(ResizeImage(image, factor)) << factor;
        EXPECT_EQ(image.width, 2);
        EXPECT_EQ(image.pixels, original.pixels) << factor;
    }
}

TEST(ConsoleScale, FitsTheWidthOfANarrowScreenAndTheHeightOfAWideOne)
{
    const struct {
        int requestedWidth, requestedHeight, screenWidth, screenHeight;
        double factor;
    } cases[] = {
        {0, 0, 1024, 768, 1.0},                 // 1024 / 739 < 1.4: 1024 / 1024
        {0, 0, 1280, 1024, 1.25},               // 1280 / 995 < 1.4: 1280 / 1024
        {0, 0, 1366, 768, 1.0},                 // wide: 739 / 739
        {0, 0, 1920, 1080, 1051.0 / 739},       // wide: 1051 / 739
        {0, 0, 2560, 1440, 1411.0 / 739},
        {0, 0, 3840, 2160, 2131.0 / 739},
        {1280, 720, 1920, 1080, 720.0 / 739},   // "res 1280 720": 1280 / 720 is wide
        {0, 0, 1080, 1920, 1080.0 / 1024},      // portrait: the width
        {1024, 797, 1920, 1080, 1.0},           // the design size asked for
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(ConsoleScaleFactor(c.requestedWidth, c.requestedHeight, c.screenWidth, c.screenHeight, 1024, 768),
                         c.factor)
            << c.screenWidth << " x " << c.screenHeight;
    // Sizes that make no sense keep the design size.
    EXPECT_EQ(ConsoleScaleFactor(0, 0, 1920, 1080, 0, 768), 1.0);
    EXPECT_EQ(ConsoleScaleFactor(0, 0, 1920, 29, 1024, 768), 1.0);
    EXPECT_EQ(ConsoleScaleFactor(0, 0, 1920, 1080, 1024, 29), 1.0);

    for (int bits : {8, 15, 16})
        EXPECT_TRUE(AskAboutColourDepth(bits)) << bits;
    for (int bits : {24, 30, 32})
        EXPECT_FALSE(AskAboutColourDepth(bits)) << bits;
}

} // namespace
