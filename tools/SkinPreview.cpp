// Writes what the skin library shows, as PNG files in OUTPUT_DIR:
//   console_off.png      image 0, every control off or raised
//   console_on.png       image 1, every control on or pressed
//   console_regions.png  image 0 at twice its size, with every region's shape and number
// usage: corvinta_skin_preview [OUTPUT_DIR [LIBRARY]]
//        corvinta_skin_preview --region N [LIBRARY]   prints region N's geometry string
// LIBRARY defaults to the libpnl_216.so of this build.

#include "platform/StderrUserMessages.h"
#include "skin/SkinGeometry.h"
#include "skin/SkinLibrary.h"
#include "skin/SkinRegions.h"

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace corvinta;
using namespace corvinta::skin;

namespace {

QImage ToQImage(const SkinImage& image)
{
    QImage out(image.width, image.height, QImage::Format_RGB32);
    for (int y = 0; y < image.height; ++y) {
        uint8_t* row = out.scanLine(y);
        std::memcpy(row, image.pixels.data() + static_cast<size_t>(y) * image.width * 4,
                    static_cast<size_t>(image.width) * 4);
        for (int x = 0; x < image.width; ++x)
            row[x * 4 + 3] = 0xFF;
    }
    return out;
}

QColor RegionColour(int region)
{
    if (region < kFirstTremulantItem)
        return QColor(255, 230, 0);
    if (region < kFirstPistonItem)
        return QColor(255, 120, 0);
    if (region < kFirstSpecialItem)
        return QColor(0, 230, 255);
    if (region < kFirstKeyRegion)
        return QColor(255, 60, 200);
    if (region <= kLastKeyRegion)
        return QColor(60, 140, 255);
    return QColor(60, 255, 90);
}

QImage DrawRegions(const QImage& base, const SkinLibrary& library)
{
    // At twice the size, so that the numbers of the keys can be read.
    QImage out = base.scaled(base.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    QPainter p(&out);
    p.scale(2, 2);
    QFont font("DejaVu Sans Condensed");
    font.setPixelSize(6);
    p.setFont(font);
    for (int region = 0; region <= kLastRegion; ++region) {
        const auto rects = ParseGeometry(library.Region(region));
        if (!rects || rects->empty())
            continue;
        const QColor colour = RegionColour(region);
        p.setPen(QPen(colour, 1));
        p.setBrush(Qt::NoBrush);
        for (size_t i = 1; i < rects->size(); ++i) {
            const Rect& r = (*rects)[i];
            p.drawRect(r.left, r.top, r.right - r.left - 1, r.bottom - r.top - 1);
        }
        const Rect& w = rects->front();
        const QRect box(w.left - 8, w.bottom - 10, w.right - w.left + 16, 10);
        p.setPen(Qt::black);
        p.drawText(box.translated(1, 1), Qt::AlignCenter, QString::number(region));
        p.setPen(colour.lighter(130));
        p.drawText(box, Qt::AlignCenter, QString::number(region));
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    // Scripts that click the console's controls find them here, without
    // loading the library into a process of their own.
    if (argc > 2 && std::strcmp(argv[1], "--region") == 0) {
        StderrUserMessages messages;
        SkinLibrary library(messages);
        if (!library.Open(argc > 3 ? argv[3] : CORVINTA_BUILT_SKIN_LIBRARY))
            return 1;
        std::printf("%s\n", library.Region(std::atoi(argv[2])).c_str());
        return 0;
    }
    const std::string dir = argc > 1 ? argv[1] : ".";
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    StderrUserMessages messages;
    SkinLibrary library(messages);
    // The library of this build unless another is named.
    if (!library.Open(argc > 2 ? argv[2] : CORVINTA_BUILT_SKIN_LIBRARY))
        return 1;
    int width = 0, height = 0;
    library.Resolution(width, height);
    auto images = library.FetchImages();
    if (!images)
        return 1;
    const QImage off = ToQImage((*images)[0]), on = ToQImage((*images)[1]);
    const bool saved = off.save(QString::fromStdString(dir + "/console_off.png")) &&
                       on.save(QString::fromStdString(dir + "/console_on.png")) &&
                       DrawRegions(off, library).save(QString::fromStdString(dir + "/console_regions.png"));
    if (!saved) {
        std::fprintf(stderr, "cannot write the previews to %s\n", dir.c_str());
        return 1;
    }
    std::printf("design resolution %d x %d; previews written to %s\n", width, height, dir.c_str());
    return 0;
}
