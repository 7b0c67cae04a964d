#pragma once
// The console window: the organ's face at its fixed size, titled with the
// skin's signature. Closing it closes the organ the one normal way.

#include "organ/Console.h"
#include "ui/ConsoleCanvas.h"
#include "ui/ConsoleFaceState.h"
#include "ui/ConsoleMenu.h"
#include "ui/PlayerDialogs.h"
#include "ui/WindowDisplay.h"

#include <QWidget>

class QLabel;
class QTimer;

#include <functional>

namespace corvinta::ui {

class ConsoleWindow : public QWidget {
    Q_OBJECT
public:
    // images: the skin's two whole-console images, already scaled.
    ConsoleWindow(CConsole& console, ConsoleLayout layout, QImage off, QImage on);
    ~ConsoleWindow() override;

    ConsoleCanvas& Canvas() { return *canvas_; }
    ConsoleFaceState& Face() { return face_; }
    IPlayerDialogs& Dialogs() { return dialogs_; }
    // The console's menu, once the organ it commands is ready (null before).
    void SetMenu(ConsoleMenu* menu);
    ConsoleMenu* Menu() { return menu_; }
    // Shows the organ's state on every control: the registration, the
    // latched buttons and the memory level. Call before input is enabled.
    void ShowModelState();
    // A line at the foot of the console for news the organist should see
    // without stopping to answer a box (a MIDI device that came or went). It
    // clears itself after a while; news that comes meanwhile joins it.
    void ShowStatus(const QString& text);
    // What the status line shows; empty once it has cleared.
    QString StatusText() const;
    // Runs once when the window closes, before it goes (the organ's Close).
    void SetCloseAction(std::function<void()> action) { closeAction_ = std::move(action); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    static constexpr int kStatusShownMs = 8000;

    CConsole& console_;
    ConsoleFaceState face_;
    WindowDisplay display_;
    PlayerDialogs dialogs_{this};
    ConsoleCanvas* canvas_;
    std::function<void()> closeAction_;
    ConsoleMenu* menu_ = nullptr; // owned as a child
    QLabel* status_;              // owned as a child
    QTimer* statusClear_;         // owned as a child
};

} // namespace corvinta::ui
