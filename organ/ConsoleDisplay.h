#pragma once
// What the console asks of whatever shows it. The window implements this;
// the headless organ and the tests use NullConsoleDisplay. Calls may come
// from the MIDI input worker, so implementations only mark things for
// redrawing and return.

namespace corvinta {

class IConsoleDisplay {
public:
    virtual ~IConsoleDisplay() = default;
    // A key of a division's on-screen keyboard changed; keyIndex counts from
    // its lowest shown note.
    virtual void KeyChanged(int division, int keyIndex, bool pressed) = 0;
    // A tab or button's check state should become checked.
    virtual void SetTabChecked(int item, bool checked) = 0;
    // A momentary tab (an effect) is held down or let go by MIDI.
    virtual void SetTabPressed(int, bool) {}
    // The memory-level selector shows this level.
    virtual void MemoryLevelChanged(int) {}
    // A shoe's indicators moved: 0 Swell Main, 1 Swell Solo, 2 Crescendo
    // (the crescendo reports its stage 0..23).
    virtual void ShoeMoved(int, int) {}
    // Every on-screen keyboard was cleared by a panic.
    virtual void KeyboardsCleared() {}
    // The keyboards should take the focus back.
    virtual void RestoreFocus() {}
};

class NullConsoleDisplay final : public IConsoleDisplay {
public:
    void KeyChanged(int, int, bool) override {}
    void SetTabChecked(int, bool) override {}
};

} // namespace corvinta
