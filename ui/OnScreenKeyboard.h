#pragma once
// What one division's on-screen keyboard holds and plays: keys held by the
// mouse (left button first touch, right button second touch, glissando while
// the button is held) and by the computer keyboard's note keys. Every change
// of a key's state is reported to the console once.

#include "organ/FastStop.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace corvinta::ui {

enum class Touch { First = 0, Second = 1 };

class OnScreenKeyboard {
public:
    OnScreenKeyboard(IFastStop& console, int division, int lowestNote, int keyCount);

    int Division() const { return division_; }
    int KeyCount() const { return keyCount_; }
    int Octave() const { return octave_; }
    // The first-touch state, which is what the keyboard shows.
    bool ShownPressed(int keyIndex) const;

    // Mouse, with the key under the pointer (-1 for none).
    void MousePress(Touch touch, int keyIndex);
    void MouseRelease(Touch touch);
    // While a button is held: leaving the held key lets it go and, inside
    // the keyboard, presses the key now under the pointer.
    void MouseMove(Touch touch, int keyIndex, bool insideKeyboard);
    void MouseLeave();
    bool MouseHolds(Touch touch) const { return mouseKey_[Index(touch)] >= 0; }

    // Computer keys as virtual-key codes; auto-repeats must not reach here.
    // True when the key belongs to the console (its commands), not the notes.
    bool KeyDown(int virtualKey);
    bool KeyUp(int virtualKey);
    // A panic cleared every key: nothing is reported.
    void Clear();

    // A key's shown state changed (for the repaint).
    std::function<void(int keyIndex)> changed;

private:
    static constexpr size_t Index(Touch t) { return static_cast<size_t>(t); }
    void Set(Touch touch, int keyIndex, bool held);
    int NoteKey(int virtualKey) const;

    IFastStop& console_;
    int division_;
    int lowestNote_;
    int keyCount_;
    std::vector<uint8_t> held_[2];
    int mouseKey_[2] = {-1, -1};
    bool secondTouchMode_ = false;
    int octave_ = 2;
};

} // namespace corvinta::ui
