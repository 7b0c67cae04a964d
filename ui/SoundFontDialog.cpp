#include "ui/SoundFontDialog.h"

#include "organ/SettingsEdit.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace corvinta::ui {

SoundFontDialog::SoundFontDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Load SoundFont"));
    path_ = new QLineEdit(this);
    path_->setObjectName(QStringLiteral("SoundFontPath"));
    auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
    offset_ = new QLineEdit(this);
    offset_->setObjectName(QStringLiteral("BankOffset"));
    offset_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), offset_));
    offset_->setMaximumWidth(60);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("SoundFont file:"), this), 0, 0);
    grid->addWidget(path_, 0, 1);
    grid->addWidget(browse, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Bank offset:"), this), 1, 0);
    grid->addWidget(offset_, 1, 1, Qt::AlignLeft);
    grid->addWidget(buttons, 2, 0, 1, 3);
    connect(buttons, &QDialogButtonBox::accepted, this, &SoundFontDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Load SoundFont"), QDir::currentPath(),
                                                          QStringLiteral("SoundFont Files (*.sf2);;All Files (*)"));
        if (!file.isEmpty())
            path_->setText(file);
    });
}

std::string SoundFontDialog::Path() const
{
    return path_->text().toStdString();
}

int SoundFontDialog::BankOffset() const
{
    return offset_->text().toInt();
}

// The file must exist and the offset be 0..127; otherwise the dialog stays.
void SoundFontDialog::accept()
{
    if (!QFileInfo(path_->text()).isFile()) {
        QMessageBox::warning(this, QStringLiteral("Error"), QStringLiteral("Please choose an existing SoundFont file."));
        return;
    }
    const std::string problem = SettingsEdit::BankOffsetProblem(offset_->text().toStdString());
    if (!problem.empty()) {
        QMessageBox::warning(this, QStringLiteral("Error"), QString::fromStdString(problem));
        return;
    }
    QDialog::accept();
}

} // namespace corvinta::ui
