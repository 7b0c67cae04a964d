#include "ui/ConsoleCanvas.h"

#include "ui/ComputerKeys.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace corvinta::ui {

namespace {
constexpr int kSwipeDraws = 0;
constexpr int kSwipeCancels = 1;
constexpr int kNoSwipe = 2;
constexpr int kComputerKeysDivision = 0; // the keyboard that keeps the focus: the Solo's

constexpr size_t TouchIndex(Touch t) { return static_cast<size_t>(t); }
} // namespace

ConsoleCanvas::ConsoleCanvas(CConsole& console, ConsoleLayout layout, QImage off, QImage on, ConsoleFaceState& face,
                             QWidget* parent)
    : QWidget(parent), console_(console), layout_(std::move(layout)), off_(std::move(off)), on_(std::move(on)),
      face_(face)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(off_.size());
    setFocusPolicy(Qt::StrongFocus);
    for (int d = 0; d < console_.DivisionCount(); ++d) {
        const CDivision& division = console_.Division(d);
        if (layout_.KeyboardBounds(d).isEmpty())
            continue;
        auto keyboard = std::make_unique<OnScreenKeyboard>(console_, d, division.keyboard.lowestNote,
                                                           division.keyboard.keyCount);
        keyboard->changed = [this, d](int keyIndex) {
            face_.MarkKey(d, keyIndex);
            RepaintChanges();
        };
        keyboards_[static_cast<size_t>(d)] = std::move(keyboard);
    }
}

ConsoleCanvas::~ConsoleCanvas() = default;

void ConsoleCanvas::SetPlayer(MidiFilePlayer* player)
{
    player_ = player;
    face_.MarkPlayer();
    RequestRepaint();
}

void ConsoleCanvas::RequestRepaint()
{
    if (!repaintQueued_.exchange(true, std::memory_order_acq_rel))
        QMetaObject::invokeMethod(this, &ConsoleCanvas::RepaintChanges, Qt::QueuedConnection);
}

void ConsoleCanvas::ClearKeyboards()
{
    for (auto& keyboard : keyboards_)
        if (keyboard)
            keyboard->Clear();
    keyboardOfTouch_ = {-1, -1};
}

void ConsoleCanvas::RepaintChanges()
{
    repaintQueued_.store(false, std::memory_order_release);
    const ConsoleFaceState::Changes changes = face_.TakeChanges();
    if (changes.keyboardsCleared)
        ClearKeyboards();
    QRegion dirty;
    for (int item = 0; item < kItemCount; ++item)
        if (changes.items[static_cast<size_t>(item / 64)] & (uint64_t{1} << (item % 64)))
            dirty += layout_.ItemRegion(item);
    if (changes.memoryLevels)
        dirty += layout_.MemoryLevelsRegion();
    for (const KeyShape& key : layout_.keys)
        if (changes.keys[static_cast<size_t>(key.division)] & (uint64_t{1} << key.keyIndex))
            dirty += key.shape;
    for (int shoe = 0; shoe < 3; ++shoe)
        if (changes.shoes & (1u << shoe))
            dirty += layout_.ShoeRegion(shoe);
    if (changes.player)
        dirty += layout_.player.Everything() + layout_.ShoeRegion(-1);
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

// A key shows pressed when the organ plays it (MIDI) or the window holds it.
bool ConsoleCanvas::KeyShown(const KeyShape& key) const
{
    if (console_.Division(key.division).keyboard.pressed[static_cast<size_t>(key.keyIndex)].load(std::memory_order_relaxed))
        return true;
    const auto& keyboard = keyboards_[static_cast<size_t>(key.division)];
    return keyboard && keyboard->ShownPressed(key.keyIndex);
}

int ConsoleCanvas::SliderValue(const PlacedSlider& s) const
{
    if (s.shoe >= 0)
        return face_.Shoe(s.shoe);
    return player_ ? player_->Tempo() : 100;
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
    for (const KeyShape& key : layout_.keys)
        if (KeyShown(key))
            drawOn(key.bounds, key.shape);
    for (const PlacedSlider& s : layout_.sliders) {
        if (!s.slider.rect.intersects(areaBounds))
            continue;
        painter.setClipRegion(area);
        s.slider.Paint(painter, off_, on_, SliderValue(s));
    }
    painter.setClipRegion(area);
    PaintPlayer(painter, area);
}

void ConsoleCanvas::PaintPlayer(QPainter& painter, const QRegion& area)
{
    const PlayerPlaces& places = layout_.player;
    for (const PlayerPlaces::Button& b : places.buttons) {
        bool down = heldPlayerButton_ == b.id;
        if (player_) {
            if (b.id == kPlayerPlayButton)
                down = player_->PlayButtonDown();
            else if (b.id == kPlayerLoopButton)
                down = player_->Loop();
            else if (b.id == kPlayerRecordButton)
                down = player_->RecordButtonDown();
        }
        if (!down)
            continue;
        painter.save();
        painter.setClipRegion(b.shape & area);
        painter.drawImage(b.bounds, on_, b.bounds);
        painter.restore();
    }
    if (!player_)
        return;
    auto text = [&](const QRect& place, const std::string& s, Qt::Alignment alignment) {
        if (place.isEmpty() || !area.intersects(place))
            return;
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(std::max(8, place.height() * 2 / 3));
        painter.setFont(font);
        painter.setPen(QColor(236, 200, 120));
        painter.drawText(place.adjusted(4, 0, -4, 0), int(alignment | Qt::AlignVCenter), QString::fromStdString(s));
    };
    text(places.title, player_->FileTitle(), Qt::AlignLeft);
    text(places.elapsed, player_->ElapsedText(), Qt::AlignHCenter);
    text(places.tempo, player_->TempoText(), Qt::AlignHCenter);
}

void ConsoleCanvas::mousePressEvent(QMouseEvent* event)
{
    Press(event->position().toPoint(), event->button());
}

// A double click is one more press; its release follows as usual.
void ConsoleCanvas::mouseDoubleClickEvent(QMouseEvent* event)
{
    Press(event->position().toPoint(), event->button());
}

void ConsoleCanvas::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    if (!(event->buttons() & Qt::LeftButton))
        swipeMode_ = kNoSwipe;
    if (dragged_ && (event->buttons() & Qt::LeftButton))
        SliderMove(p);
    KeyboardMove(p, event->buttons());
    if (event->buttons() & Qt::LeftButton)
        Swipe(p);
}

void ConsoleCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton && menuPending_) {
        menuPending_ = false;
        emit MenuRequested(mapToGlobal(event->position().toPoint()));
    }
    Release(event->button());
}

void ConsoleCanvas::leaveEvent(QEvent*)
{
    for (auto& keyboard : keyboards_)
        if (keyboard)
            keyboard->MouseLeave();
    keyboardOfTouch_ = {-1, -1};
}

void ConsoleCanvas::Press(QPoint p, Qt::MouseButton button)
{
    if (button != Qt::LeftButton && button != Qt::RightButton)
        return;
    const Touch touch = button == Qt::LeftButton ? Touch::First : Touch::Second;
    if (const int d = layout_.KeyboardAt(p); d >= 0 && keyboards_[static_cast<size_t>(d)]) {
        keyboardOfTouch_[TouchIndex(touch)] = d;
        keyboards_[static_cast<size_t>(d)]->MousePress(touch, layout_.KeyAt(d, p));
        console_.RestoreFocus();
        return;
    }
    if (button == Qt::RightButton) {
        // Away from the controls: the console's menu, once the button is up,
        // so its release cannot choose the entry that opens under the pointer.
        menuPending_ = !layout_.ControlAt(p) && !layout_.SliderAt(p);
        return;
    }
    if (held_ || dragged_ || heldPlayerButton_) // a press whose release never came
        Release(Qt::LeftButton);
    if (const PlacedSlider* s = layout_.SliderAt(p); s && (s->shoe >= 0 || player_)) {
        dragged_ = s;
        dragChanged_ = false;
        // Taken by its thumb, a slider stays where it is and follows from
        // there; elsewhere it jumps to the pointer.
        const QRect thumb = s->slider.ThumbRect(SliderValue(*s));
        const QPoint centre(thumb.left() + thumb.width() / 2, thumb.top() + thumb.height() / 2);
        grip_ = thumb.contains(p) ? p - centre : QPoint();
        SliderMove(p);
        return;
    }
    for (const PlayerPlaces::Button& b : layout_.player.buttons)
        if (b.shape.contains(p)) {
            PlayerButton(b.id);
            return;
        }
    const ConsoleControl* c = layout_.ControlAt(p);
    if (!c) {
        if (layout_.panicArea.contains(p)) {
            console_.Panic();
            RepaintChanges();
        }
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

void ConsoleCanvas::Release(Qt::MouseButton button)
{
    const Touch touch = button == Qt::LeftButton ? Touch::First : Touch::Second;
    if (int& d = keyboardOfTouch_[TouchIndex(touch)]; d >= 0) {
        keyboards_[static_cast<size_t>(d)]->MouseRelease(touch);
        d = -1;
        console_.RestoreFocus();
    }
    if (button != Qt::LeftButton)
        return;
    swipeMode_ = kNoSwipe;
    if (dragged_) {
        const int shoe = dragged_->shoe;
        const bool changed = dragChanged_;
        dragged_ = nullptr;
        if (changed)
            emit SliderDragEnded(shoe);
        console_.RestoreFocus();
    }
    if (heldPlayerButton_) {
        heldPlayerButton_ = 0;
        face_.MarkPlayer();
        RepaintChanges();
    }
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

// Glissando: a held key let go as the pointer leaves it, the next one pressed.
void ConsoleCanvas::KeyboardMove(QPoint p, Qt::MouseButtons held)
{
    for (const auto& [touch, button] : {std::pair{Touch::First, Qt::LeftButton}, std::pair{Touch::Second, Qt::RightButton}}) {
        const int d = keyboardOfTouch_[TouchIndex(touch)];
        if (d < 0 || !(held & button))
            continue;
        keyboards_[static_cast<size_t>(d)]->MouseMove(touch, layout_.KeyAt(d, p), layout_.KeyboardBounds(d).contains(p));
    }
}

void ConsoleCanvas::SliderMove(QPoint p)
{
    const PlacedSlider& s = *dragged_;
    const int value = s.slider.ValueAt(p - grip_);
    if (value == SliderValue(s))
        return;
    dragChanged_ = true;
    if (s.shoe >= 0) {
        face_.SetShoe(s.shoe, value);
        console_.ShoeFromScreen(s.shoe, value);
    } else if (player_) {
        player_->SetTempo(value);
        face_.MarkPlayer();
    }
    RepaintChanges();
}

void ConsoleCanvas::PlayerButton(int id)
{
    if (!player_)
        return;
    if (id == kPlayerLoadButton) {
        heldPlayerButton_ = id;
        face_.MarkPlayer();
        RepaintChanges();
    }
    if (id == kPlayerLoopButton)
        player_->SetLoop(!player_->Loop());
    else
        player_->PlayerCommand(id);
    face_.MarkPlayer();
    RepaintChanges();
    console_.RestoreFocus();
}

void ConsoleCanvas::WindowAction(WindowKeyAction action)
{
    switch (action) {
    case WindowKeyAction::PlayerPlay: PlayerButton(kPlayerPlayButton); break;
    case WindowKeyAction::PlayerRecord: PlayerButton(kPlayerRecordButton); break;
    case WindowKeyAction::PlayerLoop: PlayerButton(kPlayerLoopButton); break;
    case WindowKeyAction::Relayout: update(); break;
    case WindowKeyAction::None: break;
    }
}

void ConsoleCanvas::keyPressEvent(QKeyEvent* event)
{
    // X11 repeats a held key as release and press pairs, both marked.
    if (event->isAutoRepeat())
        return;
    if (event->key() == Qt::Key_Menu) {
        emit MenuRequested(mapToGlobal(rect().center()));
        return;
    }
    const int key = VirtualKeyOf(event->key(), event->modifiers());
    OnScreenKeyboard* keyboard = keyboards_[kComputerKeysDivision].get();
    if (!key || !keyboard) {
        event->ignore();
        return;
    }
    if (keyboard->KeyDown(key)) {
        WindowAction(console_.ConsoleKey(key, false));
        RepaintChanges(); // a panic's cleared keys go at once
    }
}

void ConsoleCanvas::keyReleaseEvent(QKeyEvent* event)
{
    if (event->isAutoRepeat())
        return;
    const int key = VirtualKeyOf(event->key(), event->modifiers());
    OnScreenKeyboard* keyboard = keyboards_[kComputerKeysDivision].get();
    if (!key || !keyboard) {
        event->ignore();
        return;
    }
    if (keyboard->KeyUp(key))
        WindowAction(console_.ConsoleKey(key, true));
}

// Tab is the organ's, not a move to another control.
bool ConsoleCanvas::focusNextPrevChild(bool)
{
    return false;
}

} // namespace corvinta::ui
