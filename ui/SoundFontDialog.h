#pragma once
// The sound font dialog: a file to load and the bank offset its presets
// take, checked before the dialog closes.

#include <QDialog>

class QLineEdit;

namespace corvinta::ui {

class SoundFontDialog : public QDialog {
    Q_OBJECT
public:
    explicit SoundFontDialog(QWidget* parent);
    std::string Path() const;
    int BankOffset() const;

    void accept() override;

private:
    QLineEdit* path_;
    QLineEdit* offset_;
};

} // namespace corvinta::ui
