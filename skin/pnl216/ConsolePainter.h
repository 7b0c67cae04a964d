#pragma once
// Paints the whole console at its design size, every control either off or
// raised (image 0) or on or pressed (image 1). Whatever lies outside the
// controls' shapes is painted alike in both images: the console shows it
// from image 0 whatever the controls do.

#include "skin/pnl216/SkinLayout.h"

#include <QImage>

class QPainter;

namespace corvinta::skin {

class ConsolePainter {
public:
    explicit ConsolePainter(const SkinLayout& layout) : layout_(layout) {}

    QImage Paint(bool on) const;

private:
    void PaintCabinet(QPainter& p) const;
    void PaintStopRails(QPainter& p) const;
    void PaintMusicDesk(QPainter& p) const;
    void PaintKeyDesk(QPainter& p) const;
    void PaintKneePanel(QPainter& p) const;
    void PaintElement(QPainter& p, const SkinElement& e, bool on) const;

    void PaintTab(QPainter& p, const SkinElement& e, bool on) const;
    void PaintPiston(QPainter& p, const SkinElement& e, bool on) const;
    void PaintToeStud(QPainter& p, const SkinElement& e, bool on) const;
    void PaintButton(QPainter& p, const SkinElement& e, bool on) const;
    void PaintKey(QPainter& p, const SkinElement& e, bool on) const;
    void PaintShoe(QPainter& p, const SkinElement& e, bool on) const;
    void PaintNameplate(QPainter& p, const SkinElement& e) const;
    void PaintPlayerDisplay(QPainter& p, const SkinElement& e) const;
    void PaintPlayerSlider(QPainter& p, const SkinElement& e) const;

    const SkinLayout& layout_;
};

} // namespace corvinta::skin
