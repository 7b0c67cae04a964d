#pragma once
// The console's face: one widget that paints the skin's two whole-console
// images and plays every control on it. One widget rather than one per
// control, because a swipe across stop tabs and a glissando across keys need
// one receiver for the whole drag (Qt gives a drag to the widget first
// pressed). It keeps the keyboard focus, so the computer keyboard plays the
// Solo's keys and the console keys whatever was clicked.

#include "organ/Console.h"
#include "synth/MidiFilePlayer.h"
#include "ui/ConsoleFaceState.h"
#include "ui/ConsoleLayout.h"
#include "ui/OnScreenKeyboard.h"

#include <QImage>
#include <QWidget>

#include <array>
#include <atomic>
#include <memory>

namespace corvinta::ui {

class ConsoleCanvas : public QWidget {
    Q_OBJECT
public:
    // images: 0 every control off or raised, 1 every control on or pressed,
    // both already scaled to the window.
    ConsoleCanvas(CConsole& console, ConsoleLayout layout, QImage off, QImage on, ConsoleFaceState& face,
                  QWidget* parent = nullptr);
    ~ConsoleCanvas() override;

    const ConsoleLayout& Layout() const { return layout_; }
    // From any thread: repaint what the face state marks as changed, once,
    // on the GUI thread, however many changes arrive before it runs.
    void RequestRepaint();
    // The swipe in progress: 0 draws, 1 cancels, 2 none.
    int SwipeMode() const { return swipeMode_; }
    // The player behind the panel, once it exists (null: the panel is idle).
    void SetPlayer(MidiFilePlayer* player);
    // A panic cleared the keys the mouse and the computer keyboard held.
    void ClearKeyboards();
    OnScreenKeyboard* Keyboard(int division) { return keyboards_[static_cast<size_t>(division)].get(); }

signals:
    // A drag of a shoe (0..2) or the tempo slider (-1) that moved it has ended.
    void SliderDragEnded(int shoe);
    // A right-click away from the controls, or the Menu key: the console's menu, here on the screen.
    void MenuRequested(QPoint screenPosition);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void RepaintChanges();
    bool ShowsOn(const ConsoleControl& c) const;
    bool KeyShown(const KeyShape& key) const;
    int SliderValue(const PlacedSlider& s) const;
    void PaintPlayer(QPainter& painter, const QRegion& area);
    void Press(QPoint p, Qt::MouseButton button);
    void Release(Qt::MouseButton button);
    void Swipe(QPoint p);
    void KeyboardMove(QPoint p, Qt::MouseButtons held);
    void SliderMove(QPoint p);
    void PlayerButton(int id);
    void WindowAction(WindowKeyAction action);

    CConsole& console_;
    ConsoleLayout layout_;
    QImage off_;
    QImage on_;
    ConsoleFaceState& face_;
    MidiFilePlayer* player_ = nullptr;
    std::array<std::unique_ptr<OnScreenKeyboard>, kDivisionCount> keyboards_;
    std::atomic<bool> repaintQueued_{false};
    int swipeMode_ = 2;
    const ConsoleControl* held_ = nullptr; // a button (not a swipe tab) under the held left button
    int heldPlayerButton_ = 0;             // the player's Load while it is held
    std::array<int, 2> keyboardOfTouch_{-1, -1}; // the keyboard each mouse button plays
    const PlacedSlider* dragged_ = nullptr;
    bool dragChanged_ = false;
    QPoint grip_; // where on the thumb a drag took hold of it
    bool menuPending_ = false; // a right-click away from the controls, until its release

};

} // namespace corvinta::ui
