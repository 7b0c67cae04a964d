#include "ui/ConsoleMenu.h"

#include "app/CommandLine.h"
#include "app/CorvintaApp.h"
#include "skin/SkinRegions.h"
#include "ui/ListSeparator.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>

namespace corvinta::ui {

namespace {

constexpr char kComboFilter[] = "Combination Files (*.cbo);;All Files (*)";
constexpr char kCsvFilter[] = "Combination Files (*.csv);;All Files (*)";


std::string ChooseFile(QWidget& parent, QFileDialog::AcceptMode mode, const char* filter, const char* suffix)
{
    QFileDialog dialog(&parent, QString(), QDir::currentPath(), QString::fromLatin1(filter));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QString::fromLatin1(suffix));
    // Qt's save dialog asks before it replaces a file.
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return QDir::toNativeSeparators(dialog.selectedFiles().front()).toStdString();
}

} // namespace

QString AboutText()
{
    const QString help = QStringLiteral(
        "Corvinta is free software: you may use, share and change it under the GNU General Public License, "
        "version 3 or later.\t\t\n\n"
        "Use Panic to silence a cipher (stuck note).  Panic may be invoked with:\t\t\n"
        "  the ESC key\t\t\n"
        "  clicking the Corvinta nameplate\t\t\n"
        "  a MIDI Panic Message if enabled in Settings\t\t\n"
        "Ciphers are a symptom of a problem in your hardware or the Corvinta.  If you have to use Panic "
        "regularly, investigate the problem.  Report suspected problems with the Corvinta on the Forum.");
    QString version = QString::fromLatin1(VersionText()).trimmed();
    return QString::fromUtf8(skin::kSignature.data(), qsizetype(skin::kSignature.size())) + "\n\n" + help +
           "\n\n" + version;
}

ConsoleMenu::ConsoleMenu(CCorvintaApp& organ, QWidget& window)
    : QObject(&window), organ_(organ), window_(window), menu_(new QMenu(&window))
{
    menu_->addAction(QStringLiteral("Load Combo File"), this, [this] { Run([this] { LoadComboFile(); }); });
    menu_->addAction(QStringLiteral("Save Combo File"), this, [this] { Run([this] { SaveComboFile(); }); });
    menu_->addAction(QStringLiteral("Save Combo File As..."), this, [this] { Run([this] { SaveComboFileAs(); }); });
    menu_->addSeparator();
    menu_->addAction(QStringLiteral("Import Memory Level"), this, [this] { Run([this] { ImportMemoryLevel(); }); });
    menu_->addAction(QStringLiteral("Export Memory Level"), this, [this] { Run([this] { ExportMemoryLevel(); }); });
    menu_->addSeparator();
    settings_ = menu_->addAction(QStringLiteral("Corvinta Settings..."), this, [this] { Run([this] { Settings(); }); });
    settings_->setEnabled(false);
    menu_->addAction(QStringLiteral("&About the Corvinta..."), this, [this] { Run([this] { About(); }); });
}

ConsoleMenu::~ConsoleMenu() = default;

void ConsoleMenu::SetSettingsCommand(std::function<void()> command)
{
    settingsCommand_ = std::move(command);
    settings_->setEnabled(static_cast<bool>(settingsCommand_));
}

// Just beside the pointer, not under it: the click that asked for the menu
// must not also choose its first entry.
void ConsoleMenu::Open(QPoint screenPosition)
{
    menu_->popup(screenPosition + QPoint(2, 2));
}

void ConsoleMenu::Run(const std::function<void()>& command)
{
    // The file dialogs never move the working folder; the organ's files stay where they are.
    const QString folder = QDir::currentPath();
    command();
    QDir::setCurrent(folder);
    organ_.Console().RestoreFocus();
}

void ConsoleMenu::LoadComboFile()
{
    organ_.Combinations().Load(ChooseFile(window_, QFileDialog::AcceptOpen, kComboFilter, "cbo"));
}

void ConsoleMenu::SaveComboFile()
{
    organ_.Combinations().Save();
}

void ConsoleMenu::SaveComboFileAs()
{
    organ_.Combinations().SaveAs(ChooseFile(window_, QFileDialog::AcceptSave, kComboFilter, "cbo"));
}

void ConsoleMenu::ImportMemoryLevel()
{
    organ_.Combinations().ImportLevel(ChooseFile(window_, QFileDialog::AcceptOpen, kCsvFilter, "csv"), ListSeparator());
}

void ConsoleMenu::ExportMemoryLevel()
{
    organ_.Combinations().ExportLevel(ChooseFile(window_, QFileDialog::AcceptSave, kCsvFilter, "csv"), ListSeparator());
}

void ConsoleMenu::Settings()
{
    if (settingsCommand_)
        settingsCommand_();
}

void ConsoleMenu::About()
{
    QDialog box(&window_);
    box.setObjectName(QStringLiteral("AboutBox"));
    box.setWindowTitle(QStringLiteral("About the Corvinta Virtual Organ"));
    auto* icon = new QLabel(&box);
    icon->setPixmap(window_.windowIcon().pixmap(64, 64));
    icon->setAlignment(Qt::AlignTop);
    auto* text = new QLabel(AboutText(), &box);
    text->setObjectName(QStringLiteral("AboutText"));
    text->setWordWrap(true);
    text->setMinimumWidth(360);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addWidget(text, 1);
    auto* column = new QVBoxLayout(&box);
    column->addLayout(row);
    column->addWidget(buttons);
    box.exec();
}

} // namespace corvinta::ui
