// The loader of the skin library: each way a library can be unfit is told to
// the user once, with the start-up caption, and leaves nothing open.

#include "platform/RecordingUserMessages.h"
#include "skin/SkinLibrary.h"
#include "skin/SkinRegions.h"

#include <gtest/gtest.h>

using namespace corvinta;
using namespace corvinta::skin;

namespace {

struct FailureCase {
    const char* name;
    const char* library;
    bool failsWhenOpened; // else when the images are fetched
    const char* message;
};

const FailureCase kFailures[] = {
    {"not found", "/nonexistent/libpnl_216.so", true, kCannotLoadLibrary},
    {"no GetRegion", FAKE_PNL_NO_REGION, true, kCannotLoadLibrary},
    {"older signature", FAKE_PNL_WRONG_SIGNATURE, true, kWrongVersion},
    {"signature with more after it", FAKE_PNL_LONG_SIGNATURE, true, kWrongVersion},
    {"no InitPNG", FAKE_PNL_NO_INIT, false, kCannotLoadImages},
    {"null image", FAKE_PNL_NULL_BITMAP, false, kCannotLoadImages},
};

TEST(SkinLibrary, EachFailureIsToldOnceWithItsMessage)
{
    for (const FailureCase& c : kFailures) {
        SCOPED_TRACE(c.name);
        RecordingUserMessages messages;
        SkinLibrary library(messages);
        const bool opened = library.Open(c.library);
        EXPECT_EQ(opened, !c.failsWhenOpened);
        if (opened) {
            EXPECT_FALSE(library.FetchImages().has_value());
        }
        const auto shown = messages.Shown();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, c.message);
        EXPECT_EQ(shown[0].caption, "Corvinta Screen Initialization");
        EXPECT_EQ(shown[0].icon, MessageIcon::Error);
        EXPECT_FALSE(library.IsOpen());
    }
}

TEST(SkinLibrary, FailureEndsTheProgramWithExitCode1)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            RecordingUserMessages messages;
            SkinLibrary library(messages);
            OpenSkinOrExit(library, FAKE_PNL_WRONG_SIGNATURE);
        },
        ::testing::ExitedWithCode(1), "");
    EXPECT_EXIT(
        {
            RecordingUserMessages messages;
            SkinLibrary library(messages);
            OpenSkinOrExit(library, FAKE_PNL_NULL_BITMAP);
            FetchImagesOrExit(library);
        },
        ::testing::ExitedWithCode(1), "");
}

TEST(SkinLibrary, OurLibraryOpensAndAnswers)
{
    RecordingUserMessages messages;
    SkinLibrary library(messages);
    ASSERT_TRUE(library.Open(SKIN_LIBRARY));
    int width = 0, height = 0;
    library.Resolution(width, height);
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(height, 768);
    EXPECT_FALSE(library.Region(kPanicRegion).empty());
    EXPECT_EQ(library.Region(kLastRegion + 1), "");
    EXPECT_EQ(library.Region(-1), "");
    const auto images = library.FetchImages();
    ASSERT_TRUE(images.has_value());
    for (const SkinImage& image : *images) {
        EXPECT_EQ(image.width, width);
        EXPECT_EQ(image.height, height);
        EXPECT_EQ(image.pixels.size(), static_cast<size_t>(width) * height * 4);
    }
    EXPECT_TRUE(messages.Shown().empty());
}

} // namespace
