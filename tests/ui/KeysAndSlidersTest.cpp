// The computer keyboard's notes and the sliders' pixels, without a window.

#include "organ/ConsoleKeys.h"
#include "ui/ComputerKeys.h"
#include "ui/OnScreenKeyboard.h"
#include "ui/SkinSlider.h"

#include <gtest/gtest.h>

#include <vector>

using namespace corvinta;
using namespace corvinta::ui;

namespace {

struct PlayedKey {
    int division, note;
    bool on, secondTouch;
    bool operator==(const PlayedKey&) const = default;
};

struct RecordingKeys final : IFastStop {
    std::vector<PlayedKey> played;
    void OnCommand(int, int) override {}
    void PlayKey(int division, int note, bool on, bool secondTouch) override
    {
        played.push_back({division, note, on, secondTouch});
    }
    void RestoreFocus() override {}
};

// Qt's key as the organ's key, then as a note of the Solo (lowest key 36,
// 61 keys) or the Pedal (32 keys), after the keypad chose the octave.
TEST(ComputerKeys, NoteKeysPlayTheirOctaveAndKeysPastTheCompassDoNothing)
{
    const struct {
        int qtKey;
        Qt::KeyboardModifiers modifiers;
        int octaveKey; // a keypad key pressed first, 0 for none
        int keyCount;
        int note; // -1: nothing plays
    } cases[] = {
        {Qt::Key_Z, {}, 0, 61, 60},              // octave 2 at start: Z is C 60
        {Qt::Key_Slash, {}, 0, 61, 76},          // the last note key
        {Qt::Key_S, {}, 0, 61, 61},
        {Qt::Key_Semicolon, {}, 0, 61, 75},
        {Qt::Key_Z, {}, Qt::Key_1, 61, 36},      // keypad 1: octave 0
        {Qt::Key_Comma, {}, Qt::Key_4, 61, 84},  // keypad 4: octave 3
        {Qt::Key_Z, {}, Qt::Key_5, 61, 84},      // keypad 5: octave 4, key 48
        {Qt::Key_M, {}, Qt::Key_5, 61, 95},
        {Qt::Key_Slash, {}, Qt::Key_5, 61, -1},  // key 64: past the Solo's last
        {Qt::Key_Z, {}, Qt::Key_4, 32, -1},      // octave 3 on the Pedal's 32 keys
        {Qt::Key_Q, {}, 0, 61, -1},              // a console key, not a note
        {Qt::Key_Tab, {}, 0, 61, -1},            // not the organ's at all
    };
    for (const auto& c : cases) {
        RecordingKeys console;
        OnScreenKeyboard keyboard(console, 0, 36, c.keyCount);
        if (c.octaveKey)
            keyboard.KeyDown(VirtualKeyOf(c.octaveKey, Qt::KeypadModifier));
        const int key = VirtualKeyOf(c.qtKey, c.modifiers);
        keyboard.KeyDown(key);
        keyboard.KeyUp(key);
        if (c.note < 0) {
            EXPECT_TRUE(console.played.empty()) << "key " << c.qtKey;
            continue;
        }
        EXPECT_EQ(console.played,
                  (std::vector<PlayedKey>{{0, c.note, true, false}, {0, c.note, false, false}}))
            << "key " << c.qtKey;
    }
    // The keypad's digits choose octaves; the main row's digits fire pistons.
    EXPECT_EQ(VirtualKeyOf(Qt::Key_1, Qt::KeypadModifier), vk::Keypad1);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_1, {}), '1');
    EXPECT_TRUE(IsConsoleKey(VirtualKeyOf(Qt::Key_1, {})));
    EXPECT_EQ(VirtualKeyOf(Qt::Key_F10, {}), vk::F10);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Return, {}), vk::Enter);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_BracketRight, {}), vk::RightBracket);
}

// With the space bar held a note key sounds second touch before first;
// letting the space bar go releases the second touch of the keys still down.
TEST(ComputerKeys, TheSpaceBarAddsSecondTouchBeforeFirst)
{
    RecordingKeys console;
    OnScreenKeyboard keyboard(console, 0, 36, 61);
    EXPECT_TRUE(keyboard.KeyDown(vk::Space)); // the console's second touch
    keyboard.KeyDown('Z');
    keyboard.KeyDown('X');
    keyboard.KeyUp('X');
    EXPECT_TRUE(keyboard.KeyUp(vk::Space));
    keyboard.KeyUp('Z');
    EXPECT_EQ(console.played, (std::vector<PlayedKey>{
                                  {0, 60, true, true}, {0, 60, true, false},
                                  {0, 62, true, true}, {0, 62, true, false},
                                  {0, 62, false, true}, {0, 62, false, false},
                                  {0, 60, false, true}, // the space bar's release
                                  {0, 60, false, false},
                              }));
}

// A click lands under the pointer: the thumb's centre for the value a point
// gives is that point, at both ends of the travel and between, for the
// shoes at two scales and for the tempo slider.
TEST(Sliders, AClickLandsUnderThePointerAlongTheWholeTravel)
{
    const struct {
        const char* name;
        SkinSlider slider;
    } sliders[] = {
        {"swell body at 1", ShoeSlider(QRect(353, 523, 37, 56), 0, 127, 1.0)},
        {"swell body at 1.42", ShoeSlider(QRect(501, 743, 53, 80), 0, 127, 1.422)},
        {"crescendo body", ShoeSlider(QRect(353, 523, 37, 56), 0, 23, 1.0)},
        {"lower marker", ShoeSlider(QRect(393, 523, 41, 56), 2, 127, 1.0)},
        {"tempo", TempoSlider(QRect(700, 286, 304, 18), 50, 200, 1.0)},
    };
    for (const auto& [name, s] : sliders) {
        const int first = s.mapping.start + s.mapping.inset;
        const int last = first + s.mapping.Travel();
        for (int at : {first, (first + last) / 2, last}) {
            const QPoint p = s.vertical ? QPoint(s.rect.center().x(), at) : QPoint(at, s.rect.center().y());
            const QRect thumb = s.ThumbRect(s.ValueAt(p));
            const int centre = s.vertical ? thumb.top() + thumb.height() / 2 : thumb.left() + thumb.width() / 2;
            // Within the pixels one value spans, at most one.
            const int range = s.mapping.maximum - s.mapping.minimum;
            EXPECT_LE(std::abs(centre - at), std::max(1, s.mapping.Travel() / range)) << name << " at " << at;
        }
        // Past either end the value stops at the range's ends.
        const QPoint before = s.vertical ? QPoint(s.rect.center().x(), s.rect.top()) : QPoint(s.rect.left(), s.rect.center().y());
        const QPoint after = s.vertical ? QPoint(s.rect.center().x(), s.rect.bottom()) : QPoint(s.rect.right(), s.rect.center().y());
        EXPECT_EQ(s.ValueAt(before), s.inverted ? s.mapping.maximum : s.mapping.minimum) << name;
        EXPECT_EQ(s.ValueAt(after), s.inverted ? s.mapping.minimum : s.mapping.maximum) << name;
    }
}

} // namespace
