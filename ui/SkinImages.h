#pragma once
// From the skin library to a console window: the two whole-console images
// scaled to the window and made into QImages, and every control placed.

#include "app/CorvintaApp.h"
#include "organ/Console.h"
#include "skin/SkinLibrary.h"
#include "ui/ConsoleWindow.h"

#include <QImage>

#include <array>
#include <memory>

namespace corvinta::ui {

// A copy of the image as 32-bit RGB; the skin's fourth byte is ignored.
QImage ToQImage(const skin::SkinImage& image);

// Scales both images by `scale` (an image that cannot be scaled stays as it
// is, and the controls are placed at the images' own scale), lays out the
// controls from the library's regions and builds the window.
std::unique_ptr<ConsoleWindow> MakeConsoleWindow(CConsole& console, const skin::SkinLibrary& library,
                                                 std::array<skin::SkinImage, 2> images, double scale);

// The window of a started organ, shown, with the organ then made ready for
// it (the player and its panel, the MIDI inputs open, input enabled).
// Closing the window closes the organ. Null (the user told why) when the
// skin's images cannot be had.
std::unique_ptr<ConsoleWindow> OpenConsoleWindow(CCorvintaApp& organ, skin::SkinLibrary& library, double scale);

} // namespace corvinta::ui
