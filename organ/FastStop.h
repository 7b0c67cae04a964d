#pragma once
// What the console's controls call: tabs, pistons, buttons and keyboards.

namespace corvinta {

class IFastStop {
public:
    virtual ~IFastStop() = default;
    // Runs a console command (a stop or tremulant tab, a piston, a button).
    virtual void OnCommand(int command, int argument) = 0;
    // Plays a key from the on-screen or computer keyboard.
    virtual void PlayKey(int division, int note, bool on, bool useSecondTouch) = 0;
    // Gives the keyboard focus back to the console's keyboards.
    virtual void RestoreFocus() = 0;
};

// The MIDI inputs as the console's panic needs them.
class IInputControl {
public:
    virtual ~IInputControl() = default;
    virtual void StopAll() = 0;
    virtual void StartAll() = 0;
    virtual void SetInputEnabled(bool enabled) = 0;
};

} // namespace corvinta
