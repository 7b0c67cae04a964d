#include "ui/ConsoleLayout.h"

#include "skin/SkinGeometry.h"
#include "skin/SkinRegions.h"
#include "synth/MidiFilePlayer.h"

namespace corvinta::ui {

namespace {

// The first rectangle is the window; the rest make the shape. Right and
// bottom edges lie outside, as QRect's width and height count them.
bool ReadShape(const RegionSource& regions, int region, double scale, QRect& bounds, QRegion& shape)
{
    const auto rects = skin::ParseGeometry(regions(region), scale);
    if (!rects || rects->empty())
        return false;
    auto toQRect = [](const Rect& r) { return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)).normalized(); };
    bounds = toQRect(rects->front());
    shape = QRegion();
    for (size_t i = 1; i < rects->size(); ++i)
        shape += toQRect((*rects)[i]);
    if (rects->size() == 1)
        shape = bounds;
    return true;
}

} // namespace

const ConsoleControl* ConsoleLayout::ControlAt(QPoint p) const
{
    for (const ConsoleControl& c : controls)
        if (c.bounds.contains(p) && c.shape.contains(p))
            return &c;
    return nullptr;
}

QRegion ConsoleLayout::ItemRegion(int item) const
{
    if (item < 0 || item >= kItemCount || controlOfItem[static_cast<size_t>(item)] < 0)
        return {};
    return controls[static_cast<size_t>(controlOfItem[static_cast<size_t>(item)])].shape;
}

QRegion ConsoleLayout::MemoryLevelsRegion() const
{
    QRegion all;
    for (int index : controlOfLevel)
        if (index >= 0)
            all += controls[static_cast<size_t>(index)].shape;
    return all;
}

const KeyShape* ConsoleLayout::Key(int division, int keyIndex) const
{
    for (const KeyShape& k : keys)
        if (k.division == division && k.keyIndex == keyIndex)
            return &k;
    return nullptr;
}

int ConsoleLayout::KeyAt(int division, QPoint p) const
{
    for (const KeyShape& k : keys)
        if (k.division == division && k.bounds.contains(p) && k.shape.contains(p))
            return k.keyIndex;
    return -1;
}

QRect ConsoleLayout::KeyboardBounds(int division) const
{
    QRect bounds;
    for (const KeyShape& k : keys)
        if (k.division == division)
            bounds = bounds.united(k.bounds);
    return bounds;
}

int ConsoleLayout::KeyboardAt(QPoint p) const
{
    for (const KeyShape& k : keys)
        if (k.bounds.contains(p) && k.shape.contains(p))
            return k.division;
    return -1;
}

const PlacedSlider* ConsoleLayout::SliderAt(QPoint p) const
{
    for (const PlacedSlider& s : sliders)
        if (s.slider.rect.contains(p))
            return &s;
    return nullptr;
}

QRegion ConsoleLayout::ShoeRegion(int shoe) const
{
    QRegion region;
    for (const PlacedSlider& s : sliders)
        if (s.shoe == shoe)
            region += s.slider.rect;
    return region;
}

QRegion PlayerPlaces::Everything() const
{
    QRegion region = QRegion(title) + elapsed + tempo;
    for (const Button& b : buttons)
        region += b.bounds;
    return region;
}

ConsoleLayout BuildConsoleLayout(CConsole& console, const RegionSource& regions, double scale)
{
    ConsoleLayout layout;
    layout.controlOfItem.fill(-1);
    layout.controlOfLevel.fill(-1);
    auto add = [&](ConsoleControl c, int region) {
        if (!ReadShape(regions, region, scale, c.bounds, c.shape))
            return;
        if (c.item >= 0)
            layout.controlOfItem[static_cast<size_t>(c.item)] = static_cast<int>(layout.controls.size());
        if (c.level >= 0)
            layout.controlOfLevel[static_cast<size_t>(c.level)] = static_cast<int>(layout.controls.size());
        layout.controls.push_back(std::move(c));
    };

    for (int d = 0; d < console.DivisionCount(); ++d) {
        CDivision& division = console.Division(d);
        for (int s = 0; s < division.stopCount; ++s) {
            const CStop& stop = division.Stop(s);
            ConsoleControl tab;
            tab.id = commands::kFirstStopTab + stop.item;
            tab.item = stop.item;
            // Effects sound while held, so a swipe (which only draws) would never sound them.
            tab.effectTab = stop.type == StopKind::EffectStop;
            tab.behaviour = tab.effectTab ? ButtonBehaviour::Push : ButtonBehaviour::Toggle;
            tab.swipeTab = !tab.effectTab;
            add(tab, stop.item);
        }
        if (!skin::HasKeyboard(d))
            continue;
        for (int k = 0; k < skin::KeyCount(d); ++k) {
            KeyShape key;
            key.division = d;
            key.keyIndex = k;
            if (ReadShape(regions, skin::KeyRegion(d, k), scale, key.bounds, key.shape))
                layout.keys.push_back(std::move(key));
        }
    }
    for (int t = 0; t < console.TremulantCount(); ++t) {
        const CTrem& trem = console.Trem(t);
        ConsoleControl tab;
        tab.id = commands::kFirstTremulantTab + t;
        tab.item = trem.item;
        tab.behaviour = ButtonBehaviour::Toggle;
        tab.swipeTab = true;
        // The skin paints each tremulant at its tab number, which differs from
        // the item for VOX and TUBA.
        add(tab, trem.number);
    }
    for (int p = 0; p < console.PistonCount(); ++p) {
        ConsoleControl piston;
        piston.id = commands::kFirstPiston + p;
        piston.item = kFirstPistonItem + p;
        add(piston, piston.item);
    }
    for (int b = 0; b < kSpecialButtonCount; ++b) {
        const SpecialButtonDefinition& def = kSpecialButtons[static_cast<size_t>(b)];
        ConsoleControl button;
        button.id = def.command;
        button.item = kFirstSpecialItem + b;
        const bool latch = def.command == commands::kMap || def.command == commands::kSet || def.command == commands::kMem;
        button.behaviour = latch ? ButtonBehaviour::Toggle : ButtonBehaviour::Push;
        add(button, button.item);
    }
    for (int level = 0; level < kMemoryLevelCount; ++level) {
        ConsoleControl selector;
        selector.id = commands::kFirstMemoryLevel + level;
        selector.level = level;
        selector.behaviour = ButtonBehaviour::Radio;
        add(selector, skin::kFirstMemoryLevelRegion + level);
    }
    // The shoes: a body and two level markers each. The crescendo's range is its 24 stages.
    for (int shoe = 0; shoe < skin::kShoeCount; ++shoe) {
        const int maximum = shoe == kCrescendo ? kPistonCount : 127;
        const int regionOf[3] = {skin::kShoeBodyRegion + shoe, skin::kShoeUpperMarkerRegion + shoe,
                                 skin::kShoeLowerMarkerRegion + shoe};
        for (int kind = 0; kind < 3; ++kind) {
            QRect bounds;
            QRegion shape;
            if (ReadShape(regions, regionOf[kind], scale, bounds, shape))
                layout.sliders.push_back({shoe, ShoeSlider(bounds, kind, maximum, scale)});
        }
    }
    {
        QRect bounds;
        QRegion shape;
        if (ReadShape(regions, skin::kPlayerTempoSlider, scale, bounds, shape))
            layout.sliders.push_back({-1, TempoSlider(bounds, kMinTempo, kMaxTempo, scale)});
    }
    const int buttonIds[] = {kPlayerLoadButton, kPlayerPlayButton, kPlayerLoopButton, kPlayerRecordButton};
    for (int b = 0; b < 4; ++b) {
        PlayerPlaces::Button button;
        button.id = buttonIds[b];
        if (ReadShape(regions, skin::kPlayerLoad + b, scale, button.bounds, button.shape))
            layout.player.buttons.push_back(std::move(button));
    }
    QRegion unused;
    ReadShape(regions, skin::kPlayerFileTitle, scale, layout.player.title, unused);
    ReadShape(regions, skin::kPlayerElapsed, scale, layout.player.elapsed, unused);
    ReadShape(regions, skin::kPlayerTempo, scale, layout.player.tempo, unused);

    QRect panicBounds;
    if (!ReadShape(regions, skin::kPanicRegion, scale, panicBounds, layout.panicArea))
        layout.panicArea = QRegion();
    return layout;
}

} // namespace corvinta::ui
