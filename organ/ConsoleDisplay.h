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
};

class NullConsoleDisplay final : public IConsoleDisplay {
public:
    void KeyChanged(int, int, bool) override {}
    void SetTabChecked(int, bool) override {}
};

} // namespace corvinta
