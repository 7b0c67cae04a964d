#pragma once
// "Corvinta Settings": a view of the settings model in six pages. Every
// list cell is edited by right-clicking it and choosing from the values its
// column allows; OK runs the model's checks and, when they pass, hands the
// edits back to be applied to the running organ.

#include "organ/SettingsEdit.h"
#include "platform/UserMessages.h"

#include <QDialog>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QVBoxLayout;
class QLineEdit;
class QListWidget;
class QMenu;
class QSlider;
class QTabWidget;
class QTableWidget;

namespace corvinta::ui {

class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    SettingsDialog(const CConsole& console, IUserMessages& messages, QWidget* parent);

    SettingsEdit& Model() { return edit_; }
    QTabWidget& Pages() { return *pages_; }
    // The edits once OK passed its checks.
    std::optional<EditedSettings> Result() const { return result_; }

    void accept() override;
    void done(int result) override;

    // Opens a cell's menu as a right-click would (the tests' way in too).
    QMenu* CellMenu(QTableWidget& table, int row, int column);

private:
    QWidget* InputPage();
    QWidget* OutputPage();
    QWidget* SynthPage();
    QWidget* ControlsPage(corvinta::ControlPage page);
    void OpenMenusOnRightClick(QTableWidget& table);
    void FillInputs();
    void FillRanks();
    void FillControls(corvinta::ControlPage page);
    void FillSoundFonts();
    QSlider* AddSlider(QGridLayout& grid, int row, const QString& label, int minimum, int maximum, int value,
                       std::function<QString(int)> shown, std::function<void(int)> store);
    void AddControlExchange(QVBoxLayout& box);

    SettingsEdit edit_;
    IUserMessages& messages_;
    std::optional<EditedSettings> result_;
    QTabWidget* pages_;
    QTableWidget* inputs_ = nullptr;
    QListWidget* available_ = nullptr;
    QListWidget* active_ = nullptr;
    QTableWidget* ranks_ = nullptr;
    QComboBox* allOutputs_ = nullptr;
    QListWidget* fonts_ = nullptr;
    QTableWidget* controls_[3] = {nullptr, nullptr, nullptr};
    QComboBox* stopGroup_ = nullptr;
};

} // namespace corvinta::ui
