#pragma once
// The console's display interface as the window answers it. It is called
// from the MIDI input worker as well as the GUI thread, often with the
// console lock held: it only records the new state and asks the canvas for
// one queued repaint, never touching a widget from another thread.

#include "organ/ConsoleDisplay.h"
#include "ui/ConsoleFaceState.h"

#include <QPointer>

namespace corvinta::ui {

class ConsoleCanvas;

class WindowDisplay final : public IConsoleDisplay {
public:
    explicit WindowDisplay(ConsoleFaceState& face) : face_(face) {}
    // Set on the GUI thread once the canvas exists, before input is enabled.
    void SetCanvas(ConsoleCanvas* canvas) { canvas_ = canvas; }

    void KeyChanged(int division, int keyIndex, bool pressed) override;
    void SetTabChecked(int item, bool checked) override;
    void SetTabPressed(int item, bool pressed) override;
    void MemoryLevelChanged(int level) override;
    void ShoeMoved(int shoe, int value) override;
    void KeyboardsCleared() override;
    void RestoreFocus() override;

private:
    void Repaint();

    ConsoleFaceState& face_;
    ConsoleCanvas* canvas_ = nullptr;
};

} // namespace corvinta::ui
