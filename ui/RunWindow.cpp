#include "ui/RunWindow.h"

#include "app/CorvintaApp.h"
#include "skin/ConsoleScale.h"
#include "skin/SkinLibrary.h"
#include "ui/ConsoleWindow.h"
#include "ui/MessageBoxes.h"
#include "ui/SkinImages.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/signalfd.h>
#include <unistd.h>

namespace corvinta::ui {

namespace {

constexpr char kColourDepthQuestion[] =
    "This version of the Corvinta requires 32 bit color quality mode.\n"
    "Please use Display Properties... Settings... to select 32 bit Color quality\n"
    "and then start Corvinta again.\n"
    "Use version 0.84 of the Style 216 Corvinta if you don't have 32 bit color quality.\n"
    "Click Yes ONLY if you are using Linux.\n\n"
    "Continue anyway?";

// The launcher's icon: from the icon theme where the desktop has one, else
// the installed or built picture beside the program.
QIcon ApplicationIcon()
{
    const QString bin = QCoreApplication::applicationDirPath();
    for (const QString& path : {bin + "/../share/icons/hicolor/256x256/apps/corvinta.png",
                                bin + "/../data/icons/256/corvinta.png"})
        if (QFileInfo::exists(path))
            return QIcon::fromTheme("corvinta", QIcon(path));
    return QIcon::fromTheme("corvinta");
}

bool Set(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

// SIGINT and SIGTERM, blocked in every thread, arrive here as readable data
// and close the window the way its close button does.
class StopSignals {
public:
    explicit StopSignals(QWidget& window)
    {
        sigset_t stop;
        sigemptyset(&stop);
        sigaddset(&stop, SIGINT);
        sigaddset(&stop, SIGTERM);
        fd_ = signalfd(-1, &stop, SFD_NONBLOCK | SFD_CLOEXEC);
        if (fd_ < 0)
            return;
        notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, &window, [this, &window] {
            signalfd_siginfo info;
            while (read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            }
            window.close();
        });
    }
    ~StopSignals()
    {
        notifier_.reset();
        if (fd_ >= 0)
            close(fd_);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace

bool DisplayAvailable()
{
    return Set("QT_QPA_PLATFORM") || Set("DISPLAY") || Set("WAYLAND_DISPLAY");
}

int RunConsoleWindow(const CCommandLineInfoEx& options, int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName("corvinta");
    QGuiApplication::setDesktopFileName("org.corvinta.Corvinta");
    QApplication::setWindowIcon(ApplicationIcon());
    MessageBoxes messages;

    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        ShowError(messages, "Cannot create Corvinta window for an unknown reason.", skin::kScreenInitCaption);
        return 1;
    }
    // Qt takes the organist's locale for everything; numbers the organ
    // reads and writes (FluidSynth's settings among them) stay in the C locale.
    std::setlocale(LC_NUMERIC, "C");
    if (skin::AskAboutColourDepth(screen->depth())) {
        const MessageAnswer answer = messages.Show({kColourDepthQuestion, skin::kScreenInitCaption,
                                                    MessageIcon::Warning, MessageButtons::YesNo, MessageAnswer::No});
        if (answer != MessageAnswer::Yes)
            return 1;
    }

    skin::SkinLibrary library(messages);
    if (!library.OpenInstalled())
        return 1;
    int designWidth = 0;
    int designHeight = 0;
    library.Resolution(designWidth, designHeight);
    const QSize screenSize = screen->size();
    const double scale = skin::ConsoleScaleFactor(options.width, options.height, screenSize.width(),
                                                  screenSize.height(), designWidth, designHeight);

    CCorvintaApp organ(options, messages);
    organ.UseWindow(scale);
    if (const int code = organ.Start(); code != 0)
        return code;

    std::unique_ptr<ConsoleWindow> window;
    try {
        window = OpenConsoleWindow(organ, library, scale);
    } catch (...) {
        ShowError(messages, "Cannot create Corvinta window for an unknown reason.", skin::kScreenInitCaption);
        return 1;
    }
    if (!window) // the skin's images could not be had; the organist has been told
        return 1;
    window->move(screen->availableGeometry().topLeft());
    messages.SetParentWindow(window.get());
    StopSignals stopSignals(*window);
    library.Close();
    // Once a second: say once if MIDI input had to be dropped, in a box that
    // does not stop the playing.
    QTimer dropReports;
    QObject::connect(&dropReports, &QTimer::timeout, window.get(), [&organ, &window] {
        const std::string report = organ.Input().TakeDropReport();
        if (report.empty())
            return;
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Corvinta"), QString::fromStdString(report),
                                    QMessageBox::Ok, window.get());
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        box->show();
    });
    dropReports.start(1000);
    // Once the window takes events: scripts and tests wait for this line.
    QTimer::singleShot(0, [] { std::fputs("Corvinta is playing in its window.\n", stderr); });
    const int code = QApplication::exec();
    organ.Close();
    messages.SetParentWindow(nullptr);
    return code;
}

} // namespace corvinta::ui
