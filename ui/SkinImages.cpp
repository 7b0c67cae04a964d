#include "ui/SkinImages.h"

#include "app/ApplySettings.h"
#include "skin/ImageResizer.h"
#include "ui/SettingsDialog.h"

#include <QTimer>

namespace corvinta::ui {

QImage ToQImage(const skin::SkinImage& image)
{
    QImage out(image.width, image.height, QImage::Format_RGB32);
    for (int y = 0; y < image.height; ++y) {
        const uint8_t* from = image.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(image.width) * 4;
        auto* to = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < image.width; ++x, from += 4)
            to[x] = qRgb(from[2], from[1], from[0]);
    }
    return out;
}

std::unique_ptr<ConsoleWindow> MakeConsoleWindow(CConsole& console, const skin::SkinLibrary& library,
                                                 std::array<skin::SkinImage, 2> images, double scale)
{
    double placed = scale;
    if (scale != 1.0) {
        std::array<skin::SkinImage, 2> scaled = images;
        if (skin::ResizeImage(scaled[0], scale) && skin::ResizeImage(scaled[1], scale))
            images = std::move(scaled);
        else
            placed = 1.0;
    }
    ConsoleLayout layout =
        BuildConsoleLayout(console, [&library](int region) { return library.Region(region); }, placed);
    return std::make_unique<ConsoleWindow>(console, std::move(layout), ToQImage(images[0]), ToQImage(images[1]));
}

} // namespace corvinta::ui

namespace corvinta::ui {

std::unique_ptr<ConsoleWindow> OpenConsoleWindow(CCorvintaApp& organ, skin::SkinLibrary& library, double scale)
{
    auto images = library.FetchImages();
    if (!images)
        return nullptr;
    std::unique_ptr<ConsoleWindow> window = MakeConsoleWindow(organ.Console(), library, std::move(*images), scale);
    window->ShowModelState();
    window->SetCloseAction([&organ] { organ.Close(); });
    window->show();

    PlayerLinks links;
    links.dialogs = &window->Dialogs();
    ConsoleCanvas* canvas = &window->Canvas();
    ConsoleFaceState* face = &window->Face();
    links.changed = [canvas, face] {
        face->MarkPlayer();
        canvas->RequestRepaint();
    };
    organ.ConsoleReady(std::move(links));
    // Devices that come and go are told on the console's status line.
    if (DeviceWatcher* watcher = organ.Watcher()) {
        constexpr int kNoticePollMs = 250;
        ConsoleWindow* shown = window.get();
        auto* notices = new QTimer(shown);
        QObject::connect(notices, &QTimer::timeout, shown, [watcher, shown] {
            for (const std::string& notice : watcher->TakeNotices())
                shown->ShowStatus(QString::fromStdString(notice));
        });
        notices->start(kNoticePollMs);
    }
    auto* menu = new ConsoleMenu(organ, *window);
    ConsoleWindow* parent = window.get();
    menu->SetSettingsCommand([&organ, parent] {
        ApplySettingsCommand(organ, [parent](CConsole& console) -> std::optional<EditedSettings> {
            SettingsDialog dialog(console, console.Messages(), parent);
            if (!dialog.Model().InputsEnabled())
                console.Messages().Show({"There are no MIDI input devices in the system.\nYou can play the Corvinta with your mouse or computer keyboard.",
                                         "MIDI input devices", MessageIcon::Information});
            if (dialog.exec() != QDialog::Accepted)
                return std::nullopt;
            return dialog.Result();
        });
    });
    window->SetMenu(menu);
    canvas->SetPlayer(organ.Player());
    canvas->setFocus(Qt::OtherFocusReason);
    return window;
}

} // namespace corvinta::ui
