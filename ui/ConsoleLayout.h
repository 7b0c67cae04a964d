#pragma once
// Where every control of the console lies, in window pixels, from the skin's
// geometry strings: the stop tabs of each division and its keyboard's keys,
// the tremulant tabs, the pistons, the nine console buttons, the eleven
// memory-level selectors and the nameplate.

#include "organ/Console.h"
#include "ui/SkinSlider.h"

#include <QRect>
#include <QRegion>

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace corvinta::ui {

enum class ButtonBehaviour { Push, Toggle, Radio };

struct ConsoleControl {
    int id = 0;     // the command it gives (20000 + item, 21100 + piston, 1173 "CAN" ...)
    int item = -1;  // the item whose state it shows; -1 for a memory-level selector
    int level = -1; // the memory level a selector chooses
    ButtonBehaviour behaviour = ButtonBehaviour::Push;
    bool swipeTab = false;  // stop and tremulant tabs: a drag across them sets them all
    bool effectTab = false; // sounds while held: press and release both reach the console
    QRect bounds;   // the window rectangle, bounding the shape
    QRegion shape;
};

struct KeyShape {
    int division = 0;
    int keyIndex = 0; // from the keyboard's lowest key
    QRect bounds;
    QRegion shape;
};

// A slider on the face: one of a shoe's three, or the player's tempo (shoe -1).
struct PlacedSlider {
    int shoe = -1;
    SkinSlider slider;
};

// The player's panel: its four buttons (Load, Play, Loop, Record) and the
// places of its texts.
struct PlayerPlaces {
    struct Button {
        int id = 0;
        QRect bounds;
        QRegion shape;
    };
    std::vector<Button> buttons;
    QRect title, elapsed, tempo;
    QRegion Everything() const;
};

struct ConsoleLayout {
    std::vector<ConsoleControl> controls; // in the order they are made
    std::vector<KeyShape> keys;
    std::vector<PlacedSlider> sliders;
    PlayerPlaces player;
    QRegion panicArea; // the nameplate
    // The control that shows each item's state, -1 for none.
    std::array<int, kItemCount> controlOfItem{};
    std::array<int, kMemoryLevelCount> controlOfLevel{};

    // The control whose shape holds the point, or null.
    const ConsoleControl* ControlAt(QPoint p) const;
    QRegion ItemRegion(int item) const;
    QRegion MemoryLevelsRegion() const;
    const KeyShape* Key(int division, int keyIndex) const;
    // The key of a division's keyboard under the point, -1 for none.
    int KeyAt(int division, QPoint p) const;
    // A division's keyboard: the rectangle its keys fill.
    QRect KeyboardBounds(int division) const;
    // The division whose keyboard holds the point, -1 for none.
    int KeyboardAt(QPoint p) const;
    const PlacedSlider* SliderAt(QPoint p) const;
    QRegion ShoeRegion(int shoe) const;
};

// The geometry string of a skin region, scaled to window pixels.
using RegionSource = std::function<std::string(int region)>;

// Lays the console out in the fixed order. A region the skin does not give
// leaves its control without a shape (never hit, never drawn).
ConsoleLayout BuildConsoleLayout(CConsole& console, const RegionSource& regions, double scale);

} // namespace corvinta::ui
