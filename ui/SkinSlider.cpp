#include "ui/SkinSlider.h"

#include <cmath>

namespace corvinta::ui {

namespace {
int Scaled(int pixels, double scale) { return std::max(1, int(pixels * scale + 0.5)); }
} // namespace

QRect SkinSlider::ThumbRect(int value) const
{
    const int centre = mapping.ThumbCentre(Position(value));
    if (vertical)
        return QRect(rect.left(), centre - thumbSize.height() / 2, thumbSize.width(), thumbSize.height());
    return QRect(centre - thumbSize.width() / 2, rect.top(), thumbSize.width(), thumbSize.height());
}

int SkinSlider::ValueAt(QPoint p) const
{
    const int position = mapping.ValueAt(vertical ? p.y() : p.x());
    return inverted ? mapping.maximum - position : position;
}

void SkinSlider::Paint(QPainter& painter, const QImage& off, const QImage& on, int value) const
{
    const QRect knob = ThumbRect(value);
    // The pictures are stretched along the slider to its window, as the
    // slider's window may reach past the region it is cut from.
    auto part = [&](const QImage& image, const QRect& target) {
        if (target.isEmpty())
            return;
        painter.save();
        painter.setClipRect(target, Qt::IntersectClip);
        painter.drawImage(rect, image, source);
        painter.restore();
    };
    if (vertical) {
        const int split = std::clamp(knob.bottom() + 1, rect.top(), rect.bottom() + 1);
        part(off, QRect(rect.left(), rect.top(), rect.width(), split - rect.top()));
        part(on, QRect(rect.left(), split, rect.width(), rect.bottom() + 1 - split));
    } else {
        const int split = std::clamp(knob.right() + 1, rect.left(), rect.right() + 1);
        part(off, QRect(rect.left(), rect.top(), split - rect.left(), rect.height()));
        part(on, QRect(split, rect.top(), rect.right() + 1 - split, rect.height()));
    }

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    switch (thumb) {
    case Thumb::ShoeBody: {
        // The shoe's toe plate: brushed metal with a dark rim and a groove.
        QLinearGradient metal(knob.topLeft(), knob.bottomLeft());
        metal.setColorAt(0, QColor(214, 214, 206));
        metal.setColorAt(0.5, QColor(150, 150, 142));
        metal.setColorAt(1, QColor(92, 92, 86));
        painter.setPen(QPen(QColor(30, 26, 20), 1));
        painter.setBrush(metal);
        painter.drawRoundedRect(QRectF(knob).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
        painter.setPen(QPen(QColor(60, 56, 50), 1));
        painter.drawLine(QPointF(knob.left() + 4, knob.center().y() + 0.5),
                         QPointF(knob.right() - 4, knob.center().y() + 0.5));
        break;
    }
    case Thumb::Marker:
        painter.fillRect(knob, QColor(255, 206, 84));
        break;
    case Thumb::Player: {
        painter.setPen(QPen(QColor(20, 20, 20), 1));
        painter.setBrush(QColor(200, 170, 90));
        painter.drawEllipse(QRectF(knob).adjusted(0.5, 0.5, -0.5, -0.5));
        break;
    }
    }
    painter.restore();
}

SkinSlider ShoeSlider(const QRect& region, int kind, int maximum, double scale)
{
    SkinSlider s;
    s.source = region;
    s.rect = region;
    s.mapping.maximum = maximum;
    s.mapping.inset = Scaled(13, scale);
    switch (kind) {
    case 0: // the shoe's body
        s.rect.setLeft(region.left() - Scaled(1, scale));
        s.thumb = SkinSlider::Thumb::ShoeBody;
        s.thumbSize = QSize(Scaled(35, scale), Scaled(18, scale));
        break;
    case 1: // the upper marker
        s.rect.setTop(region.top() - Scaled(12, scale));
        s.thumb = SkinSlider::Thumb::Marker;
        s.thumbSize = QSize(Scaled(41, scale), Scaled(3, scale));
        break;
    default: // the lower marker shows the maximum minus the value
        s.rect.setTop(region.top() - Scaled(9, scale));
        s.rect.setBottom(region.bottom() + Scaled(9, scale));
        s.inverted = true;
        s.thumb = SkinSlider::Thumb::Marker;
        s.thumbSize = QSize(Scaled(41, scale), Scaled(3, scale));
        break;
    }
    s.mapping.start = s.rect.top();
    s.mapping.length = s.rect.height();
    return s;
}

SkinSlider TempoSlider(const QRect& region, int minimum, int maximum, double scale)
{
    SkinSlider s;
    s.source = region;
    s.rect = region;
    s.vertical = false;
    s.thumb = SkinSlider::Thumb::Player;
    s.thumbSize = QSize(Scaled(14, scale), Scaled(14, scale));
    s.mapping.start = region.left();
    s.mapping.length = region.width();
    s.mapping.inset = Scaled(13, scale);
    s.mapping.minimum = minimum;
    s.mapping.maximum = maximum;
    return s;
}

} // namespace corvinta::ui
