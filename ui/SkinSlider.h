#pragma once
// A skinned slider drawn on the console's face: the expression shoes'
// bodies and level markers, and the player's tempo slider. Above (or left
// of) the thumb it shows the "off" picture, below it the "on" one, so the
// shoes' level ladders light up as they move; then the thumb.

#include "ui/SliderMapping.h"

#include <QImage>
#include <QPainter>
#include <QRect>

namespace corvinta::ui {

struct SkinSlider {
    enum class Thumb { ShoeBody, Marker, Player };

    QRect rect;   // the slider's window in window pixels
    QRect source; // the picture it is cut from, on the whole-console images
    bool vertical = true;
    bool inverted = false; // shows the maximum minus the value (a lower marker)
    Thumb thumb = Thumb::ShoeBody;
    QSize thumbSize;
    SliderMapping mapping;

    // Where the thumb stands for a value.
    int Position(int value) const { return inverted ? mapping.maximum - value : value; }
    QRect ThumbRect(int value) const;
    // The value a point on the slider asks for (the same mapping as the thumb).
    int ValueAt(QPoint p) const;
    void Paint(QPainter& painter, const QImage& off, const QImage& on, int value) const;
};

// kind: 0 the shoe's body, 1 its upper marker, 2 its lower marker; the
// region is the slider's place on the skin at the console's scale.
SkinSlider ShoeSlider(const QRect& region, int kind, int maximum, double scale);
SkinSlider TempoSlider(const QRect& region, int minimum, int maximum, double scale);

} // namespace corvinta::ui
