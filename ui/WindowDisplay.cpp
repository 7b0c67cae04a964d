#include "ui/WindowDisplay.h"

#include "ui/ConsoleCanvas.h"

#include <QCoreApplication>
#include <QThread>

namespace corvinta::ui {

void WindowDisplay::Repaint()
{
    if (canvas_)
        canvas_->RequestRepaint();
}

void WindowDisplay::KeyChanged(int division, int keyIndex, bool)
{
    face_.MarkKey(division, keyIndex);
    Repaint();
}

void WindowDisplay::SetTabChecked(int item, bool checked)
{
    face_.SetChecked(item, checked);
    Repaint();
}

void WindowDisplay::SetTabPressed(int item, bool pressed)
{
    face_.SetPressed(item, pressed);
    Repaint();
}

void WindowDisplay::MemoryLevelChanged(int level)
{
    face_.SetMemoryLevel(level);
    Repaint();
}

void WindowDisplay::ShoeMoved(int shoe, int value)
{
    face_.SetShoe(shoe, value);
    Repaint();
}

void WindowDisplay::KeyboardsCleared()
{
    face_.MarkAllKeys();
    face_.MarkKeyboardsCleared();
    Repaint();
}

// Only the GUI thread may move the focus; a worker's request has nothing to give back.
void WindowDisplay::RestoreFocus()
{
    if (canvas_ && QThread::currentThread() == QCoreApplication::instance()->thread())
        canvas_->setFocus(Qt::OtherFocusReason);
}

} // namespace corvinta::ui
