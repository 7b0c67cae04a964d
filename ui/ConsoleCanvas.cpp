#include "ui/ConsoleCanvas.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace corvinta::ui {

namespace {
constexpr int kSwipeDraws = 0;
constexpr int kSwipeCancels = 1;
constexpr int kNoSwipe = 2;
} // namespace

ConsoleCanvas::ConsoleCanvas(CConsole& console, ConsoleLayout layout, QImage off, QImage on, ConsoleFaceState& face,
                             QWidget* parent)
    : QWidget(parent), console_(console), layout_(std::move(layout)), off_(std::move(off)), on_(std::move(on)),
      face_(face)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(off_.size());
    setFocusPolicy(Qt::StrongFocus);
}

void ConsoleCanvas::RequestRepaint()
{
    if (!repaintQueued_.exchange(true, std::memory_order_acq_rel))
        QMetaObject::invokeMethod(this, &ConsoleCanvas::RepaintChanges, Qt::QueuedConnection);
}

void ConsoleCanvas::RepaintChanges()
{
    repaintQueued_.store(false, std::memory_order_release);
    const ConsoleFaceState::Changes changes = face_.TakeChanges();
    QRegion dirty;
    for (int item = 0; item < kItemCount; ++item)
        if (changes.items[static_cast<size_t>(item / 64)] & (uint64_t{1} << (item % 64)))
            dirty += layout_.ItemRegion(item);
    if (changes.memoryLevels)
        dirty += layout_.MemoryLevelsRegion();
    for (const KeyShape& key : layout_.keys)
        if (changes.keys[static_cast<size_t>(key.division)] & (uint64_t{1} << key.keyIndex))
            dirty += key.shape;
    if (!dirty.isEmpty())
        update(dirty);
}

bool ConsoleCanvas::ShowsOn(const ConsoleControl& c) const
{
    switch (c.behaviour) {
    case ButtonBehaviour::Toggle: return face_.Checked(c.item);
    case ButtonBehaviour::Radio: return face_.MemoryLevel() == c.level;
    case ButtonBehaviour::Push: return face_.Pressed(c.item);
    }
    return false;
}

void ConsoleCanvas::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRegion area = event->region();
    for (const QRect& r : area)
        painter.drawImage(r, off_, r);
    const QRect areaBounds = area.boundingRect();
    auto drawOn = [&](const QRect& bounds, const QRegion& shape) {
        if (!bounds.intersects(areaBounds))
            return;
        const QRegion clip = shape & area;
        if (clip.isEmpty())
            return;
        painter.setClipRegion(clip);
        painter.drawImage(bounds, on_, bounds);
    };
    for (const ConsoleControl& c : layout_.controls)
        if (ShowsOn(c))
            drawOn(c.bounds, c.shape);
    for (const KeyShape& key : layout_.keys) {
        const KeyboardDisplay& keyboard = console_.Division(key.division).keyboard;
        if (keyboard.pressed[static_cast<size_t>(key.keyIndex)].load(std::memory_order_relaxed))
            drawOn(key.bounds, key.shape);
    }
}

void ConsoleCanvas::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        Press(event->position().toPoint());
}

// A double click is one more press; its release follows as usual.
void ConsoleCanvas::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        Press(event->position().toPoint());
}

void ConsoleCanvas::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        swipeMode_ = kNoSwipe;
        return;
    }
    Swipe(event->position().toPoint());
}

void ConsoleCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        Release();
}

void ConsoleCanvas::Press(QPoint p)
{
    if (held_) // a press whose release never came: let that one go first
        Release();
    const ConsoleControl* c = layout_.ControlAt(p);
    if (!c) {
        if (layout_.panicArea.contains(p))
            console_.Panic();
        return;
    }
    if (c->swipeTab) {
        const bool on = !face_.Checked(c->item);
        face_.SetChecked(c->item, on);
        swipeMode_ = on ? kSwipeDraws : kSwipeCancels;
        RepaintChanges();
        console_.OnCommand(c->id, on ? 1 : 0);
        return;
    }
    held_ = c;
    switch (c->behaviour) {
    case ButtonBehaviour::Toggle: {
        const bool on = !face_.Checked(c->item);
        face_.SetChecked(c->item, on);
        RepaintChanges();
        console_.OnCommand(c->id, on ? 1 : 0);
        break;
    }
    case ButtonBehaviour::Radio:
        face_.SetMemoryLevel(c->level);
        RepaintChanges();
        console_.OnCommand(c->id, 1);
        break;
    case ButtonBehaviour::Push:
        face_.SetPressed(c->item, true);
        RepaintChanges();
        if (c->effectTab)
            console_.EffectTab(c->item, true);
        else
            console_.OnCommand(c->id, 0); // a push button is never checked
        break;
    }
}

void ConsoleCanvas::Release()
{
    swipeMode_ = kNoSwipe;
    const ConsoleControl* c = held_;
    held_ = nullptr;
    if (!c)
        return;
    if (c->behaviour == ButtonBehaviour::Push) {
        face_.SetPressed(c->item, false);
        RepaintChanges();
        if (c->effectTab)
            console_.EffectTab(c->item, false);
    }
    console_.RestoreFocus();
}

void ConsoleCanvas::Swipe(QPoint p)
{
    if (swipeMode_ == kNoSwipe)
        return;
    const ConsoleControl* c = layout_.ControlAt(p);
    if (!c || !c->swipeTab)
        return;
    const bool on = face_.Checked(c->item);
    if (swipeMode_ == kSwipeDraws && !on) {
        face_.SetChecked(c->item, true);
        RepaintChanges();
        console_.OnCommand(c->id, 1);
    } else if (swipeMode_ == kSwipeCancels && on) {
        face_.SetChecked(c->item, false);
        RepaintChanges();
        console_.OnCommand(c->id, 0);
    }
}

} // namespace corvinta::ui
