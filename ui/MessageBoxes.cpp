#include "ui/MessageBoxes.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>
#include <QThread>

namespace corvinta::ui {

namespace {

QMessageBox::Icon IconOf(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ButtonsOf(MessageButtons buttons)
{
    switch (buttons) {
    case MessageButtons::Ok: return QMessageBox::Ok;
    case MessageButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButton ButtonOf(MessageAnswer answer)
{
    switch (answer) {
    case MessageAnswer::Ok: return QMessageBox::Ok;
    case MessageAnswer::Cancel: return QMessageBox::Cancel;
    case MessageAnswer::Yes: return QMessageBox::Yes;
    case MessageAnswer::No: return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

MessageAnswer AnswerOf(int button, MessageAnswer otherwise)
{
    switch (button) {
    case QMessageBox::Ok: return MessageAnswer::Ok;
    case QMessageBox::Cancel: return MessageAnswer::Cancel;
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    default: return otherwise; // closed without a button
    }
}

QMessageBox* MakeBox(const UserMessage& message, QWidget* parent)
{
    auto* box = new QMessageBox(IconOf(message.icon), QString::fromStdString(message.caption),
                                QString::fromStdString(message.text), ButtonsOf(message.buttons), parent);
    // The answer that keeps the organist's data is the one Enter gives.
    box->setDefaultButton(ButtonOf(message.unattendedAnswer));
    if (message.buttons == MessageButtons::YesNo)
        box->setEscapeButton(ButtonOf(message.unattendedAnswer));
    return box;
}

} // namespace

MessageAnswer MessageBoxes::Show(const UserMessage& message)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread()) {
        QMessageBox* box = MakeBox(message, parent_);
        const int button = box->exec();
        delete box;
        return AnswerOf(button, message.unattendedAnswer);
    }
    if (app) {
        QPointer<QWidget> parent(parent_);
        QMetaObject::invokeMethod(app, [message, parent] {
            QMessageBox* box = MakeBox(message, parent.data());
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->setModal(false);
            box->show();
        }, Qt::QueuedConnection);
    }
    return message.unattendedAnswer;
}

} // namespace corvinta::ui
