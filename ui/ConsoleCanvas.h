#pragma once
// The console's face: one widget that paints the skin's two whole-console
// images and plays every control on it. One widget rather than one per
// control, because a swipe across stop tabs needs one receiver for the whole
// drag (Qt gives a drag to the widget first pressed).

#include "organ/Console.h"
#include "ui/ConsoleFaceState.h"
#include "ui/ConsoleLayout.h"

#include <QImage>
#include <QWidget>

#include <atomic>

namespace corvinta::ui {

class ConsoleCanvas : public QWidget {
    Q_OBJECT
public:
    // images: 0 every control off or raised, 1 every control on or pressed,
    // both already scaled to the window.
    ConsoleCanvas(CConsole& console, ConsoleLayout layout, QImage off, QImage on, ConsoleFaceState& face,
                  QWidget* parent = nullptr);

    const ConsoleLayout& Layout() const { return layout_; }
    // From any thread: repaint what the face state marks as changed, once,
    // on the GUI thread, however many changes arrive before it runs.
    void RequestRepaint();
    // The swipe in progress: 0 draws, 1 cancels, 2 none.
    int SwipeMode() const { return swipeMode_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void RepaintChanges();
    bool ShowsOn(const ConsoleControl& c) const;
    void Press(QPoint p);
    void Release();
    void Swipe(QPoint p);

    CConsole& console_;
    ConsoleLayout layout_;
    QImage off_;
    QImage on_;
    ConsoleFaceState& face_;
    std::atomic<bool> repaintQueued_{false};
    int swipeMode_ = 2;
    const ConsoleControl* held_ = nullptr; // a button (not a swipe tab) under the held mouse button
};

} // namespace corvinta::ui
