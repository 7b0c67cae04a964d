#pragma once
// The console's command menu: the combination file, memory levels, the
// settings and the about box. Linux desktops give a window no system menu
// to extend, so it opens on a right-click on the console's face (away from
// its controls) and on the Menu key.

#include <QObject>
#include <QPoint>
#include <QString>

#include <functional>

class QAction;
class QMenu;
class QWidget;

namespace corvinta {
class CCorvintaApp;
}

namespace corvinta::ui {

class ConsoleMenu : public QObject {
    Q_OBJECT
public:
    ConsoleMenu(CCorvintaApp& organ, QWidget& window);
    ~ConsoleMenu() override;

    // Opens at a point on the screen and runs the chosen command.
    void Open(QPoint screenPosition);
    QMenu& Menu() { return *menu_; }
    // Until the settings dialog exists the entry is there but greyed.
    void SetSettingsCommand(std::function<void()> command);

    void LoadComboFile();
    void SaveComboFile();
    void SaveComboFileAs();
    void ImportMemoryLevel();
    void ExportMemoryLevel();
    void About();
    void Settings();

private:
    // Runs a command and gives the keyboards the focus back after it.
    void Run(const std::function<void()>& command);

    CCorvintaApp& organ_;
    QWidget& window_;
    QMenu* menu_;
    QAction* settings_ = nullptr;
    std::function<void()> settingsCommand_;
};

// The about box's text: the title, the terms of use, how to silence a
// cipher, and this build's version.
QString AboutText();

} // namespace corvinta::ui
