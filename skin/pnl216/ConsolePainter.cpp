#include "skin/pnl216/ConsolePainter.h"

#include "skin/SkinRegions.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRegion>

#include <cmath>
#include <vector>

namespace corvinta::skin {

namespace {

// The lacquer of the tabs, as a theatre organ colours them by family.
const QColor kReed(196, 52, 40), kString(232, 168, 58), kFoundation(246, 240, 222), kCoupler(28, 26, 25),
    kPercussion(128, 182, 204);
const QColor kGold(206, 170, 84), kIvory(248, 243, 228);
const QColor kWoodDark(52, 22, 12), kWoodMid(92, 42, 22), kWoodLight(128, 66, 34);

QRect ToQRect(const Rect& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }

QRegion ShapeRegion(const SkinElement& e)
{
    QRegion region;
    for (const Rect& r : e.shape)
        region += ToQRect(r);
    return region;
}

QColor Dim(const QColor& c, double f)
{
    return QColor::fromRgbF(static_cast<float>(c.redF() * f), static_cast<float>(c.greenF() * f),
                            static_cast<float>(c.blueF() * f));
}

QFont LabelFont(int pixelSize, bool bold = true)
{
    QFont f("DejaVu Sans Condensed");
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

// Draws `text` centred in `box`, squeezed sideways when it would not fit.
void DrawFitted(QPainter& p, const QRectF& box, const QString& text, const QFont& font, const QColor& colour)
{
    const QFontMetricsF metrics(font);
    const double width = metrics.horizontalAdvance(text);
    const double squeeze = width > box.width() ? box.width() / width : 1.0;
    p.save();
    p.setFont(font);
    p.setPen(colour);
    p.translate(box.center().x(), box.center().y());
    p.scale(squeeze, 1.0);
    const double w = width + 2;
    p.drawText(QRectF(-w / 2, -box.height() / 2, w, box.height()), Qt::AlignCenter, text);
    p.restore();
}

QStringList LabelLines(std::string_view label)
{
    QStringList lines;
    for (const QString& line : QString::fromUtf8(label.data(), static_cast<int>(label.size())).split('\n'))
        if (!line.isEmpty())
            lines << line;
    return lines;
}

std::string_view TabLabel(const SkinElement& e)
{
    if (e.kind == ElementKind::TremulantTab) {
        // A tremulant tab finds its picture by its tab number.
        for (const TremulantDefinition& t : kTremulants)
            if (t.tabNumber == e.region)
                return t.label;
    }
    if (e.region < kStopCount)
        return kStops[static_cast<size_t>(e.region)].label;
    if (e.region >= kFirstPistonItem && e.region < kFirstSpecialItem)
        return kPistons[static_cast<size_t>(e.region - kFirstPistonItem)].label;
    if (e.region >= kFirstSpecialItem && e.region < kItemCount)
        return kSpecialButtons[static_cast<size_t>(e.region - kFirstSpecialItem)].label;
    return {};
}

QColor TabColour(const SkinElement& e)
{
    if (e.kind == ElementKind::TremulantTab)
        return kCoupler;
    const StopDefinition& s = kStops[static_cast<size_t>(e.region)];
    switch (s.kind) {
    case StopKind::CouplerStop:
    case StopKind::QuietCouplerStop: return kCoupler;
    case StopKind::FixedNoteStop:
    case StopKind::EffectStop: return kPercussion;
    default: break;
    }
    switch (s.rankOrDivision) {
    case 0: case 1: case 6: return kFoundation;   // flutes, diapasons, tibias
    case 3: case 4: return kString;
    case 2: case 5: case 7: case 8: case 10: return kReed;
    default: return kPercussion;                   // traps and tuned percussions
    }
}

// Fine wavy grain over a board, the same for every seed.
void PaintGrain(QPainter& p, const QRectF& area, uint32_t seed, int alpha)
{
    p.save();
    p.setClipRect(area);
    uint32_t state = seed;
    const auto next = [&state] { state = state * 1664525u + 1013904223u; return (state >> 8) & 0xFFFF; };
    for (double y = area.top(); y < area.bottom(); y += 2.0 + (next() % 5)) {
        QPainterPath path;
        const double amplitude = 0.5 + (next() % 100) / 60.0, period = 80.0 + next() % 160;
        path.moveTo(area.left(), y);
        for (double x = area.left(); x <= area.right() + 8; x += 8)
            path.lineTo(x, y + amplitude * std::sin(x / period * 6.283 + y));
        const bool light = next() % 3 == 0;
        p.setPen(QPen(light ? QColor(255, 200, 150, alpha) : QColor(0, 0, 0, alpha), 1.0));
        p.drawPath(path);
    }
    p.restore();
}

void PaintBoard(QPainter& p, const QRectF& r, const QColor& top, const QColor& bottom, uint32_t seed)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillRect(r, g);
    PaintGrain(p, r, seed, 18);
}

void GoldLine(QPainter& p, QPointF a, QPointF b)
{
    p.setPen(QPen(kGold, 1.0));
    p.drawLine(a, b);
}

void Caption(QPainter& p, const QRectF& box, const QString& text)
{
    QFont f = LabelFont(8);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 1.0);
    DrawFitted(p, box, text, f, kGold);
}

} // namespace

QImage ConsolePainter::Paint(bool on) const
{
    QImage image(kDesignWidth, kDesignHeight, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    PaintCabinet(p);
    PaintStopRails(p);
    PaintMusicDesk(p);
    PaintKeyDesk(p);
    PaintKneePanel(p);
    for (const SkinElement& e : layout_.Elements()) {
        p.save();
        p.setClipRegion(ShapeRegion(e));
        PaintElement(p, e, on);
        p.restore();
    }
    return image;
}

void ConsolePainter::PaintCabinet(QPainter& p) const
{
    PaintBoard(p, QRectF(0, 0, kDesignWidth, kDesignHeight), kWoodMid, kWoodDark, 216);
    // A moulding round the console's face.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(20, 8, 4), 3));
    p.drawRect(QRectF(1.5, 1.5, kDesignWidth - 3, kDesignHeight - 3));
    p.setPen(QPen(kGold, 1));
    p.drawRect(QRectF(5.5, 5.5, kDesignWidth - 11, kDesignHeight - 11));
}

void ConsolePainter::PaintStopRails(QPainter& p) const
{
    // One curved board under every row of tabs, following the tabs' tops,
    // with the name of each group of tabs engraved over it.
    struct Group { int first, last; const char* caption; };
    const std::vector<std::vector<Group>> rows = {
        {{0, 35, "SOLO"}, {36, 37, "SOLO 2T"}},
        {{38, 64, "ACCOMPANIMENT"}, {65, 72, "ACCOMP. 2ND TOUCH"}},
        {{73, 84, "PEDAL"}, {91, 94, "TRAPS 2ND TOUCH"}, {95, 99, "TREMULANTS"}},
    };
    for (const auto& row : rows) {
        // The board's edges run through the tabs' centres, so they bend with the rail.
        QPolygonF top, bottom;
        for (const Group& g : row)
            for (int region = g.first; region <= g.last; ++region) {
                const Rect w = layout_.Find(region)->window;
                const double x = (w.left + w.right) / 2.0;
                const double grow = region == row.front().first ? -(x - w.left + 6)
                                    : region == row.back().last ? (w.right + 6 - x) : 0;
                top << QPointF(x + grow, w.top - 13);
                bottom.prepend(QPointF(x + grow, w.bottom + 6));
            }
        QPainterPath path;
        path.addPolygon(top + bottom);
        path.closeSubpath();
        const QRectF bounds = path.boundingRect();
        QLinearGradient g(bounds.topLeft(), bounds.bottomLeft());
        g.setColorAt(0, QColor(40, 16, 8));
        g.setColorAt(0.2, QColor(70, 30, 14));
        g.setColorAt(1, QColor(34, 13, 6));
        p.setPen(QPen(kGold, 1));
        p.setBrush(g);
        p.drawPath(path);
        for (const Group& group : row) {
            const Rect a = layout_.Find(group.first)->window, b = layout_.Find(group.last)->window;
            int highest = a.top;
            for (int region = group.first; region <= group.last; ++region)
                highest = std::min(highest, layout_.Find(region)->window.top);
            Caption(p, QRectF(a.left, highest - 11, b.right - a.left, 10), group.caption);
        }
    }
}

void ConsolePainter::PaintMusicDesk(QPainter& p) const
{
    // Recessed panels for the memory levels and the player, a shadow under the nameplate.
    const auto panel = [&p](const QRectF& r) {
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, QColor(22, 9, 4));
        g.setColorAt(1, QColor(48, 20, 10));
        p.setPen(QPen(kGold, 1));
        p.setBrush(g);
        p.drawRoundedRect(r, 4, 4);
    };
    panel(QRectF(30.5, 240.5, 282, 67));
    Caption(p, QRectF(36, 250, 270, 11), "MEMORY LEVEL");
    Caption(p, QRectF(168, 288, 140, 11), "SETTER");
    panel(QRectF(692.5, 238.5, 320, 70));
    Caption(p, QRectF(812, 227, 196, 10), "MIDI PLAYER");
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 90));
    p.drawRoundedRect(QRectF(426, 243, 174, 66), 6, 6);
}

void ConsolePainter::PaintKeyDesk(QPainter& p) const
{
    for (int division : {0, 2, 4}) {
        const Rect kb = kDivisions[division].keyboard;
        const bool pedal = division == 4;
        // Cheek blocks at both ends and the felt strip behind the keys.
        const QRectF left(kb.left - 26, kb.top - 6, 26, kb.bottom - kb.top + 10);
        const QRectF right(kb.right, kb.top - 6, 26, kb.bottom - kb.top + 10);
        for (const QRectF& cheek : {left, right}) {
            PaintBoard(p, cheek, kWoodLight, kWoodDark, static_cast<uint32_t>(cheek.left()));
            p.setPen(QPen(QColor(0, 0, 0, 120), 1));
            p.setBrush(Qt::NoBrush);
            p.drawRect(cheek.adjusted(0.5, 0.5, -0.5, -0.5));
        }
        p.fillRect(QRectF(kb.left, kb.top - 5, kb.right - kb.left, 5), pedal ? QColor(20, 10, 6) : QColor(120, 18, 22));
        if (!pedal) {
            // The key slip under the manual, with its gold edge.
            const QRectF slip(kb.left - 26, kb.bottom + 4, kb.right - kb.left + 52, division == 0 ? 53 : 30);
            PaintBoard(p, slip, QColor(84, 36, 18), QColor(60, 24, 12), static_cast<uint32_t>(slip.top()));
            GoldLine(p, slip.topLeft() + QPointF(0, 0.5), slip.topRight() + QPointF(0, 0.5));
            GoldLine(p, slip.bottomLeft() - QPointF(0, 0.5), slip.bottomRight() - QPointF(0, 0.5));
        }
    }
    // The floor under the pedalboard.
    const Rect ped = kDivisions[4].keyboard;
    QLinearGradient floor(0, ped.bottom, 0, kDesignHeight);
    floor.setColorAt(0, QColor(30, 14, 8));
    floor.setColorAt(1, QColor(10, 5, 3));
    p.fillRect(QRectF(ped.left - 26, ped.bottom + 4, ped.right - ped.left + 52, kDesignHeight - ped.bottom - 16), floor);
    // The heel board closes the pedalboard at the front.
    const QRectF heel(ped.left - 26, ped.bottom + 4, ped.right - ped.left + 52, 14);
    PaintBoard(p, heel, kWoodLight, kWoodMid, 663);
    GoldLine(p, heel.bottomLeft() - QPointF(0, 0.5), heel.bottomRight() - QPointF(0, 0.5));
}

void ConsolePainter::PaintKneePanel(QPainter& p) const
{
    const QRectF panel(226.5, 515.5, 652, 70);
    QLinearGradient g(panel.topLeft(), panel.bottomLeft());
    g.setColorAt(0, QColor(26, 10, 5));
    g.setColorAt(1, QColor(44, 18, 9));
    p.setPen(QPen(QColor(0, 0, 0, 160), 1));
    p.setBrush(g);
    p.drawRoundedRect(panel, 5, 5);
    const char* names[kShoeCount] = {"SWELL MAIN", "SWELL SOLO", "CRESCENDO"};
    for (int shoe = 0; shoe < kShoeCount; ++shoe) {
        const SkinElement* upper = layout_.Find(kShoeUpperMarkerRegion + shoe);
        const SkinElement* body = layout_.Find(kShoeBodyRegion + shoe);
        Caption(p, QRectF(upper->window.left, body->window.bottom + 1, body->window.right - upper->window.left, 8),
                names[shoe]);
    }
    // Engraved numbers under the toe studs.
    for (const SkinElement& e : layout_.Elements()) {
        if (e.kind != ElementKind::ToeStud)
            continue;
        const QRectF box(e.window.left - 4, e.window.bottom + 2, e.window.right - e.window.left + 8, 9);
        DrawFitted(p, box, LabelLines(TabLabel(e)).join(""), LabelFont(8), kGold);
    }
}

void ConsolePainter::PaintElement(QPainter& p, const SkinElement& e, bool on) const
{
    switch (e.kind) {
    case ElementKind::StopTab:
    case ElementKind::TremulantTab: PaintTab(p, e, on); break;
    case ElementKind::Piston: PaintPiston(p, e, on); break;
    case ElementKind::ToeStud: PaintToeStud(p, e, on); break;
    case ElementKind::ConsoleButton:
    case ElementKind::MemoryLevel:
    case ElementKind::PlayerButton: PaintButton(p, e, on); break;
    case ElementKind::WhiteKey:
    case ElementKind::BlackKey: PaintKey(p, e, on); break;
    case ElementKind::ShoeBody:
    case ElementKind::ShoeUpperMarker:
    case ElementKind::ShoeLowerMarker: PaintShoe(p, e, on); break;
    case ElementKind::Nameplate: PaintNameplate(p, e); break;
    case ElementKind::PlayerDisplay: PaintPlayerDisplay(p, e); break;
    case ElementKind::PlayerSlider: PaintPlayerSlider(p, e); break;
    }
}

void ConsolePainter::PaintTab(QPainter& p, const SkinElement& e, bool on) const
{
    const QRectF r = ToQRect(e.window);
    const QColor base = TabColour(e);
    // A drawn tab is pushed down at its front: darker, shadowed at the hinge.
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, on ? Dim(base, 0.62) : base.lighter(112));
    g.setColorAt(0.5, on ? Dim(base, 0.78) : base);
    g.setColorAt(1, on ? Dim(base, 0.9) : Dim(base, 0.86));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRect(r);
    if (on) {
        QLinearGradient shade(r.topLeft(), r.topLeft() + QPointF(0, 9));
        shade.setColorAt(0, QColor(0, 0, 0, 150));
        shade.setColorAt(1, QColor(0, 0, 0, 0));
        p.fillRect(r, shade);
    } else {
        p.fillRect(QRectF(r.left() + 2, r.top() + 1, r.width() - 4, 2), QColor(255, 255, 255, 70));
    }
    p.setPen(QPen(QColor(0, 0, 0, 150), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r.adjusted(0.5, -3, -0.5, -0.5), 3, 3);

    const bool darkTab = base.lightness() < 80;
    const QColor ink = darkTab ? kIvory : QColor(20, 14, 10);
    QStringList lines;
    for (const QString& line : LabelLines(TabLabel(e))) {
        // "UNISN OFF" reads better on two lines than squeezed onto one.
        if (line.size() > 6 && line.contains(' ') && !line.front().isDigit())
            lines << line.split(' ');
        else
            lines << line;
    }
    const double lineHeight = 8.5;
    double y = r.top() + 10 + (r.height() - 12 - lines.size() * lineHeight) / 2 + (on ? 1.5 : 0);
    for (int i = 0; i < lines.size(); ++i, y += lineHeight) {
        // The pitch line of a voice is lighter than its name.
        const bool pitch = lines.size() > 1 && i == 0 && lines[i].front().isDigit();
        DrawFitted(p, QRectF(r.left() + 1.5, y, r.width() - 3, lineHeight), lines[i], LabelFont(pitch ? 7 : 8, !pitch),
                   on ? Dim(ink, darkTab ? 0.8 : 1.0) : ink);
    }
}

void ConsolePainter::PaintPiston(QPainter& p, const SkinElement& e, bool on) const
{
    const QRectF r = ToQRect(e.window);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(24, 10, 5)); // the bushing round the piston
    p.drawEllipse(r);
    const QRectF face = r.adjusted(1.5, 1.5, -1.5, -1.5);
    QRadialGradient g(face.center() - QPointF(3, 3), face.width() * (on ? 0.9 : 0.7));
    g.setColorAt(0, on ? QColor(200, 192, 170) : QColor(255, 252, 242));
    g.setColorAt(1, on ? QColor(130, 122, 104) : QColor(196, 186, 160));
    p.setPen(QPen(QColor(0, 0, 0, 140), 1));
    p.setBrush(g);
    p.drawEllipse(on ? face.adjusted(1, 1, -1, -1) : face);
    DrawFitted(p, face.adjusted(2, 2, -2, -2).translated(0, on ? 0.5 : 0), LabelLines(TabLabel(e)).join(""),
               LabelFont(8), QColor(30, 20, 12));
}

void ConsolePainter::PaintToeStud(QPainter& p, const SkinElement& e, bool on) const
{
    const QRectF r = ToQRect(e.window);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 8, 4));
    p.drawEllipse(r);
    const QRectF face = r.adjusted(1.5, 1.5, -1.5, -1.5);
    QRadialGradient g(face.center() - QPointF(2.5, 2.5), face.width() * 0.8);
    g.setColorAt(0, on ? QColor(170, 134, 60) : QColor(255, 232, 160));
    g.setColorAt(0.6, on ? QColor(120, 90, 36) : QColor(206, 160, 70));
    g.setColorAt(1, on ? QColor(70, 50, 20) : QColor(120, 86, 30));
    p.setPen(QPen(QColor(0, 0, 0, 160), 1));
    p.setBrush(g);
    p.drawEllipse(on ? face.adjusted(1, 1, -1, -1) : face);
}

void ConsolePainter::PaintButton(QPainter& p, const SkinElement& e, bool on) const
{
    const QRectF r = ToQRect(e.window);
    QString label;
    QColor lit(255, 176, 60);
    if (e.kind == ElementKind::MemoryLevel) {
        label = QString::number(e.region - kFirstMemoryLevelRegion);
        lit = QColor(120, 230, 120);
    } else if (e.kind == ElementKind::PlayerButton) {
        const char* names[] = {"LOAD", "PLAY", "LOOP", "REC"};
        label = names[e.region - kPlayerLoad];
        if (e.region == kPlayerRecord)
            lit = QColor(255, 70, 60);
    } else {
        label = LabelLines(TabLabel(e)).join("");
    }
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, on ? QColor(14, 12, 11) : QColor(70, 66, 62));
    g.setColorAt(1, on ? QColor(40, 36, 33) : QColor(20, 18, 17));
    p.setPen(QPen(QColor(0, 0, 0), 1));
    p.setBrush(g);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    if (on) {
        // A lamp behind the legend shows the button is in.
        QRadialGradient glow(r.center(), r.width() * 0.6);
        glow.setColorAt(0, QColor(lit.red(), lit.green(), lit.blue(), 110));
        glow.setColorAt(1, QColor(lit.red(), lit.green(), lit.blue(), 0));
        p.fillRect(r, glow);
    }
    DrawFitted(p, r.adjusted(3, 1, -3, 0).translated(0, on ? 0.5 : 0), label, LabelFont(8),
               on ? lit : QColor(226, 220, 204));
}

void ConsolePainter::PaintKey(QPainter& p, const SkinElement& e, bool on) const
{
    const QRectF r = ToQRect(e.window);
    const bool pedal = e.region >= kDivisions[4].skinRegionBase;
    if (e.kind == ElementKind::BlackKey) {
        p.fillRect(r, QColor(6, 5, 5));
        QRectF top = r.adjusted(1, 0, -1, on ? -4 : -6);
        QLinearGradient g(top.topLeft(), top.bottomLeft());
        g.setColorAt(0, on ? QColor(14, 13, 12) : QColor(34, 32, 31));
        g.setColorAt(1, on ? QColor(40, 38, 36) : QColor(74, 70, 66));
        p.fillRect(top, g);
        p.fillRect(QRectF(r.left() + 1, top.bottom(), r.width() - 2, 2), QColor(110, 104, 98, on ? 60 : 140));
        return;
    }
    // A natural: ivory on the manuals, maple on the pedalboard.
    const QColor face = pedal ? QColor(226, 192, 134) : kIvory;
    const QRectF whole = ToQRect(e.shape.front()).united(ToQRect(e.shape.back()));
    QRectF key = whole;
    if (pedal) {
        key = whole.adjusted(3, 0, -3, 0);
        p.fillRect(whole, QColor(26, 14, 8));
    }
    QLinearGradient g(key.topLeft(), key.bottomLeft());
    g.setColorAt(0, on ? Dim(face, 0.7) : face);
    g.setColorAt(0.85, on ? Dim(face, 0.82) : Dim(face, 0.94));
    g.setColorAt(1, on ? Dim(face, 0.6) : Dim(face, 0.75));
    p.fillRect(key, g);
    if (on) {
        QLinearGradient shade(key.topLeft(), key.topLeft() + QPointF(0, 10));
        shade.setColorAt(0, QColor(0, 0, 0, 110));
        shade.setColorAt(1, QColor(0, 0, 0, 0));
        p.fillRect(key, shade);
    }
    if (!pedal) {
        // The crack to the next key and the front lip.
        p.fillRect(QRectF(key.left(), key.top(), 1, key.height()), QColor(90, 84, 74));
        p.fillRect(QRectF(key.left(), key.bottom() - 3, key.width(), 3), Dim(face, on ? 0.55 : 0.72));
    } else {
        p.setPen(QPen(QColor(0, 0, 0, 110), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(key.adjusted(0.5, 0.5, -0.5, -0.5));
    }
}

void ConsolePainter::PaintShoe(QPainter& p, const SkinElement& e, bool on) const
{
    const QRectF r = ToQRect(e.window);
    if (e.kind == ElementKind::ShoeBody) {
        // A ribbed treadle in the shadow of the knee panel; lit where it is open.
        QLinearGradient g(r.topLeft(), r.topRight());
        g.setColorAt(0, on ? QColor(58, 44, 30) : QColor(44, 40, 38));
        g.setColorAt(0.5, on ? QColor(110, 84, 52) : QColor(92, 86, 80));
        g.setColorAt(1, on ? QColor(58, 44, 30) : QColor(44, 40, 38));
        p.fillRect(r, g);
        p.setPen(QPen(QColor(0, 0, 0, 120), 1));
        for (double y = r.top() + 4.5; y < r.bottom() - 2; y += 4)
            p.drawLine(QPointF(r.left() + 4, y), QPointF(r.right() - 4, y));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(0.5, 0.5, -0.5, -0.5));
        return;
    }
    // The markers are level ladders: the upper one fills from the top in
    // image 0, the lower one from the bottom in image 1, so both rise as the
    // shoe opens.
    const bool lit = (e.kind == ElementKind::ShoeUpperMarker) != on;
    p.fillRect(r, QColor(12, 8, 6));
    for (double y = r.top() + 3; y + 2 <= r.bottom() - 2; y += 4) {
        const double level = (r.bottom() - y) / r.height();
        QColor led = level > 0.8 ? QColor(240, 80, 50) : level > 0.5 ? QColor(240, 190, 60) : QColor(90, 210, 90);
        p.fillRect(QRectF(r.left() + 6, y, r.width() - 12, 2), lit ? led : Dim(led, 0.22));
    }
}

void ConsolePainter::PaintNameplate(QPainter& p, const SkinElement& e) const
{
    const QRectF r = QRectF(e.window.left, e.window.top, e.window.right - e.window.left, e.window.bottom - e.window.top);
    QLinearGradient brass(r.topLeft(), r.bottomLeft());
    brass.setColorAt(0, QColor(250, 226, 150));
    brass.setColorAt(0.45, QColor(206, 164, 76));
    brass.setColorAt(0.55, QColor(186, 144, 60));
    brass.setColorAt(1, QColor(236, 200, 110));
    p.setPen(QPen(QColor(90, 60, 16), 1));
    p.setBrush(brass);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(120, 84, 26), 1));
    p.drawRoundedRect(r.adjusted(4.5, 4.5, -4.5, -4.5), 5, 5);
    QFont f("DejaVu Serif");
    f.setPixelSize(30);
    f.setBold(true);
    f.setItalic(true);
    const QRectF text = r.adjusted(8, 2, -8, -14);
    DrawFitted(p, text.translated(0, 1), "Corvinta", f, QColor(255, 244, 200, 180));
    DrawFitted(p, text, "Corvinta", f, QColor(70, 40, 8));
    DrawFitted(p, QRectF(r.left() + 20, r.bottom() - 17, r.width() - 40, 10), "STYLE 216", LabelFont(8), QColor(90, 56, 14));
}

void ConsolePainter::PaintPlayerDisplay(QPainter& p, const SkinElement& e) const
{
    const QRectF r = ToQRect(e.window);
    p.fillRect(r, QColor(8, 14, 10));
    p.setPen(QPen(QColor(0, 0, 0), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0.5, 0.5, -0.5, -0.5));
    p.setPen(QPen(QColor(60, 80, 60), 1));
    p.drawLine(r.bottomLeft() + QPointF(1, -0.5), r.bottomRight() - QPointF(1, 0.5));
}

void ConsolePainter::PaintPlayerSlider(QPainter& p, const SkinElement& e) const
{
    const QRectF r = ToQRect(e.window);
    const double mid = r.center().y();
    p.fillRect(QRectF(r.left() + 6, mid - 1.5, r.width() - 12, 3), QColor(0, 0, 0));
    p.fillRect(QRectF(r.left() + 6, mid + 1.5, r.width() - 12, 1), QColor(120, 80, 50));
    // A tick every 25 per cent of tempo, from 50 to 200.
    for (int t = 0; t <= 6; ++t) {
        const double x = r.left() + 13 + (r.width() - 26) * t / 6.0;
        p.fillRect(QRectF(x - 0.5, r.top() + 1, 1, 3), kGold);
    }
}

} // namespace corvinta::skin
