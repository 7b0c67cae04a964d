#include "ui/OnScreenKeyboard.h"

#include "organ/ConsoleKeys.h"

#include <array>

namespace corvinta::ui {

namespace {

// The note keys: two rows of the computer keyboard laid out like a piano,
// with the key's offset from the octave's start.
struct NoteKey {
    int virtualKey;
    int offset;
};
constexpr std::array kNoteKeys{
    NoteKey{'Z', 0},  NoteKey{'S', 1},  NoteKey{'X', 2},  NoteKey{'D', 3},         NoteKey{'C', 4},
    NoteKey{'V', 5},  NoteKey{'G', 6},  NoteKey{'B', 7},  NoteKey{'H', 8},         NoteKey{'N', 9},
    NoteKey{'J', 10}, NoteKey{'M', 11}, NoteKey{vk::Comma, 12}, NoteKey{'L', 13},  NoteKey{vk::Period, 14},
    NoteKey{vk::Semicolon, 15}, NoteKey{vk::Slash, 16},
};
constexpr int kOctaveKeyCount = 5; // keypad 1..5 choose octaves 0..4

} // namespace

OnScreenKeyboard::OnScreenKeyboard(IFastStop& console, int division, int lowestNote, int keyCount)
    : console_(console), division_(division), lowestNote_(lowestNote), keyCount_(keyCount)
{
    for (auto& states : held_)
        states.assign(static_cast<size_t>(keyCount), 0);
}

bool OnScreenKeyboard::ShownPressed(int keyIndex) const
{
    return keyIndex >= 0 && keyIndex < keyCount_ && held_[Index(Touch::First)][static_cast<size_t>(keyIndex)];
}

void OnScreenKeyboard::Set(Touch touch, int keyIndex, bool held)
{
    if (keyIndex < 0 || keyIndex >= keyCount_)
        return;
    uint8_t& state = held_[Index(touch)][static_cast<size_t>(keyIndex)];
    if (state == (held ? 1 : 0))
        return;
    state = held ? 1 : 0;
    console_.PlayKey(division_, lowestNote_ + keyIndex, held, touch == Touch::Second);
    if (touch == Touch::First && changed)
        changed(keyIndex);
}

void OnScreenKeyboard::MousePress(Touch touch, int keyIndex)
{
    MouseRelease(touch); // a press whose release never came
    if (keyIndex < 0 || keyIndex >= keyCount_)
        return;
    mouseKey_[Index(touch)] = keyIndex;
    Set(touch, keyIndex, true);
}

void OnScreenKeyboard::MouseRelease(Touch touch)
{
    int& key = mouseKey_[Index(touch)];
    if (key < 0)
        return;
    Set(touch, key, false);
    key = -1;
}

void OnScreenKeyboard::MouseMove(Touch touch, int keyIndex, bool insideKeyboard)
{
    const int held = mouseKey_[Index(touch)];
    if (held < 0 || keyIndex == held)
        return;
    MouseRelease(touch);
    if (insideKeyboard)
        MousePress(touch, keyIndex);
}

void OnScreenKeyboard::MouseLeave()
{
    MouseRelease(Touch::First);
    MouseRelease(Touch::Second);
}

int OnScreenKeyboard::NoteKey(int virtualKey) const
{
    for (const auto& k : kNoteKeys)
        if (k.virtualKey == virtualKey)
            return k.offset + 12 * octave_;
    return -1;
}

bool OnScreenKeyboard::KeyDown(int virtualKey)
{
    if (virtualKey == vk::Space) {
        // Keys already down take second touch without a report of their own;
        // the console's second touch sounds them.
        secondTouchMode_ = true;
        held_[Index(Touch::Second)] = held_[Index(Touch::First)];
        return true;
    }
    if (IsConsoleKey(virtualKey))
        return true;
    if (virtualKey >= vk::Keypad1 && virtualKey < vk::Keypad1 + kOctaveKeyCount) {
        octave_ = virtualKey - vk::Keypad1;
        return false;
    }
    const int key = NoteKey(virtualKey);
    if (key < 0 || key >= keyCount_)
        return false;
    if (secondTouchMode_)
        Set(Touch::Second, key, true);
    Set(Touch::First, key, true);
    return false;
}

bool OnScreenKeyboard::KeyUp(int virtualKey)
{
    if (virtualKey == vk::Space) {
        secondTouchMode_ = false;
        for (int k = 0; k < keyCount_; ++k)
            Set(Touch::Second, k, false);
        return true;
    }
    if (IsConsoleKeyRelease(virtualKey))
        return true;
    const int key = NoteKey(virtualKey);
    if (key < 0 || key >= keyCount_)
        return false;
    if (secondTouchMode_)
        Set(Touch::Second, key, false);
    Set(Touch::First, key, false);
    return false;
}

void OnScreenKeyboard::Clear()
{
    for (auto& states : held_)
        std::fill(states.begin(), states.end(), 0);
    mouseKey_[0] = mouseKey_[1] = -1;
    if (changed)
        for (int k = 0; k < keyCount_; ++k)
            changed(k);
}

} // namespace corvinta::ui
