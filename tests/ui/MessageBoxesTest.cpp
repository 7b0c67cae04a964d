// The organ's messages as message boxes: on the GUI thread the organist
// answers; from a worker the box is only queued and the worker goes on with
// the answer that keeps the organist's data.

#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

using namespace corvinta;

namespace {

QMessageBox* OpenBox()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
            return box;
    return nullptr;
}

TEST(MessageBoxes, OnTheGuiThreadTheOrganistAnswersTheBoxAsTheMessageDescribesIt)
{
    ui::MessageBoxes boxes;
    const UserMessage question{"Continue anyway?", "Corvinta Screen Initialization", MessageIcon::Warning,
                               MessageButtons::YesNo, MessageAnswer::No};
    struct Seen {
        QString text, caption;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    } seen;
    for (const auto& [press, expected] : {std::pair{QMessageBox::Yes, MessageAnswer::Yes},
                                          std::pair{QMessageBox::No, MessageAnswer::No}}) {
        QTimer::singleShot(0, [&seen, press = press] {
            QMessageBox* box = OpenBox();
            ASSERT_NE(box, nullptr);
            seen = {box->text(), box->windowTitle(), box->icon(), box->standardButtons(),
                    box->standardButton(box->defaultButton())};
            box->button(press)->click();
        });
        EXPECT_EQ(boxes.Show(question), expected);
    }
    EXPECT_EQ(seen.text, "Continue anyway?");
    EXPECT_EQ(seen.caption, "Corvinta Screen Initialization");
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(seen.defaultButton, QMessageBox::No); // Enter keeps the organist's data
}

TEST(MessageBoxes, AWorkerIsNeverHeldByABoxAndTheBoxStillShows)
{
    ui::MessageBoxes boxes;
    MessageAnswer answer = MessageAnswer::Yes;
    std::thread worker([&] {
        answer = boxes.Show({"Convert the file?", "Corvinta", MessageIcon::Question, MessageButtons::YesNo,
                             MessageAnswer::No});
    });
    worker.join(); // returns without anyone answering
    EXPECT_EQ(answer, MessageAnswer::No);

    QCoreApplication::processEvents(); // the queued box opens on the GUI thread
    QMessageBox* box = OpenBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Convert the file?");
    EXPECT_FALSE(box->isModal());
    box->close();
}

} // namespace
