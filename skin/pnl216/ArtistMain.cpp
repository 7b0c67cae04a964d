// Paints the console's two images at build time and writes them, encoded,
// to the file the skin library links in.
//   corvinta_skin_artist OUTPUT

#include "skin/pnl216/ArtCodec.h"
#include "skin/pnl216/ConsolePainter.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstring>
#include <fstream>

using namespace corvinta::skin;

namespace {

ConsoleImage FromQImage(const QImage& painted)
{
    const QImage image = painted.convertToFormat(QImage::Format_RGB32);
    ConsoleImage out{image.width(), image.height(), {}};
    out.pixels.resize(static_cast<size_t>(image.width()) * image.height() * 4);
    for (int y = 0; y < image.height(); ++y) {
        // Format_RGB32 is blue, green, red, 0xFF in memory; the fourth byte is ours to clear.
        uint8_t* row = out.pixels.data() + static_cast<size_t>(y) * image.width() * 4;
        std::memcpy(row, image.constScanLine(y), static_cast<size_t>(image.width()) * 4);
        for (int x = 0; x < image.width(); ++x)
            row[x * 4 + 3] = 0;
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const ConsolePainter painter(SkinLayout::Instance());
    const ConsoleImage images[2] = {FromQImage(painter.Paint(false)), FromQImage(painter.Paint(true))};
    const std::vector<uint8_t> art = EncodeArt(images);
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(art.data()), static_cast<std::streamsize>(art.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
