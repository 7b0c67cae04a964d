#pragma once
// The organ's messages as message boxes. On the GUI thread a box waits for
// the organist's answer. From any other thread the box is queued for the GUI
// thread and the unattended answer returned at once: a worker waiting for a
// box could deadlock against a GUI thread waiting for the console lock.

#include "platform/UserMessages.h"

class QWidget;

namespace corvinta::ui {

class MessageBoxes final : public IUserMessages {
public:
    MessageAnswer Show(const UserMessage& message) override;
    // Boxes shown from now on belong to this window (null: none).
    void SetParentWindow(QWidget* window) { parent_ = window; }

private:
    QWidget* parent_ = nullptr;
};

} // namespace corvinta::ui
