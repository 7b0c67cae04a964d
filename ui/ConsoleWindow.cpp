#include "ui/ConsoleWindow.h"

#include "skin/SkinRegions.h"

#include <QCloseEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace corvinta::ui {

ConsoleWindow::ConsoleWindow(CConsole& console, ConsoleLayout layout, QImage off, QImage on)
    : console_(console), display_(face_)
{
    setWindowTitle(QString::fromUtf8(skin::kSignature.data(), static_cast<qsizetype>(skin::kSignature.size())));
    canvas_ = new ConsoleCanvas(console, std::move(layout), std::move(off), std::move(on), face_, this);
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(canvas_);
    setFixedSize(canvas_->size());
    display_.SetCanvas(canvas_);
    console_.SetDisplay(&display_);

    // Over the console, never in the way of a click, never taking the keys.
    status_ = new QLabel(this);
    status_->setAttribute(Qt::WA_TransparentForMouseEvents);
    status_->setFocusPolicy(Qt::NoFocus);
    status_->setWordWrap(true);
    status_->setStyleSheet(QStringLiteral("QLabel { background: rgba(0, 0, 0, 190); color: white; padding: 6px 10px; "
                                          "border-radius: 4px; }"));
    status_->hide();
    statusClear_ = new QTimer(this);
    statusClear_->setSingleShot(true);
    statusClear_->setInterval(kStatusShownMs);
    connect(statusClear_, &QTimer::timeout, status_, [this] {
        status_->clear();
        status_->hide();
    });
}

void ConsoleWindow::ShowStatus(const QString& text)
{
    const QString shown = status_->isVisible() ? status_->text() + QLatin1Char('\n') + text : text;
    status_->setText(shown);
    status_->setMaximumWidth(width() - 16);
    status_->adjustSize();
    status_->move(8, height() - status_->height() - 8);
    status_->raise();
    status_->show();
    statusClear_->start();
}

QString ConsoleWindow::StatusText() const
{
    return status_->isVisible() ? status_->text() : QString();
}

ConsoleWindow::~ConsoleWindow()
{
    console_.SetDisplay(nullptr);
}

void ConsoleWindow::SetMenu(ConsoleMenu* menu)
{
    menu_ = menu;
    // Queued: a menu opened inside the click's own release would be handed
    // that release and take the entry under the pointer at once.
    connect(canvas_, &ConsoleCanvas::MenuRequested, menu, &ConsoleMenu::Open, Qt::QueuedConnection);
}

void ConsoleWindow::ShowModelState()
{
    for (int d = 0; d < console_.DivisionCount(); ++d) {
        CDivision& division = console_.Division(d);
        for (int s = 0; s < division.stopCount; ++s)
            face_.SetChecked(division.Stop(s).item, division.Stop(s).shown);
    }
    for (int t = 0; t < console_.TremulantCount(); ++t)
        face_.SetChecked(console_.Trem(t).item, console_.Trem(t).shown);
    face_.SetChecked(kFirstSpecialItem + 6, console_.Latched(LatchButton::Map));
    face_.SetChecked(kFirstSpecialItem + 7, console_.Latched(LatchButton::Set));
    face_.SetChecked(kFirstSpecialItem + 8, console_.Latched(LatchButton::Mem));
    // A stored level past the selectors shows as 0.
    face_.SetMemoryLevel(console_.Settings().console.memLevel);
    canvas_->update();
}

void ConsoleWindow::closeEvent(QCloseEvent* event)
{
    if (closeAction_) {
        auto action = std::move(closeAction_);
        closeAction_ = nullptr;
        action();
    }
    event->accept();
}

} // namespace corvinta::ui
