#pragma once
// The console's scale at start-up: the skin's design pixels to the screen's.

namespace corvinta::skin {

// requested 0 takes the screen's width, or its height less 29 (the title bar
// the console leaves room for). A screen narrower than 1.4 : 1 fits the
// width; a wider one fits the height against the design height less 29.
// Sizes that make no sense give 1 (the design size) rather than a factor of
// zero, a negative or an infinity.
inline double ConsoleScaleFactor(int requestedWidth, int requestedHeight, int screenWidth, int screenHeight,
                                 int designWidth, int designHeight)
{
    const double width = requestedWidth > 0 ? requestedWidth : screenWidth;
    const double height = requestedHeight > 0 ? requestedHeight : screenHeight - 29;
    if (width <= 0 || height <= 0 || designWidth <= 0 || designHeight <= 29)
        return 1.0;
    return width / height < 1.4 ? width / designWidth : height / (designHeight - 29);
}

// An ordinary screen has 24 bits a pixel; only a shallower one is worth a question.
inline bool AskAboutColourDepth(int bitsPerPixel)
{
    return bitsPerPixel < 24;
}

} // namespace corvinta::skin
