#include "ui/PlayerDialogs.h"

#include <QDir>
#include <QFileDialog>

namespace corvinta::ui {

namespace {

constexpr char kMidiFilter[] = "MIDI Files (*.mid);;All Files (*)";

bool Run(QFileDialog& dialog, std::string& path)
{
    dialog.setNameFilter(kMidiFilter);
    dialog.setDefaultSuffix(kMidiFileExtension);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    path = QDir::toNativeSeparators(dialog.selectedFiles().front()).toStdString();
    return true;
}

} // namespace

bool PlayerDialogs::ChooseFileToPlay(std::string& path)
{
    QFileDialog dialog(parent_, QStringLiteral("Load MIDI File"), QDir::currentPath());
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    return Run(dialog, path);
}

// Qt's save dialog asks before it replaces a file.
bool PlayerDialogs::ChooseFileToRecord(std::string& path)
{
    QFileDialog dialog(parent_, QStringLiteral("Record MIDI File"), QDir::currentPath());
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    return Run(dialog, path);
}

} // namespace corvinta::ui
