// Saves one X11 window as a PNG, the way the console's screenshots are made
// under Xvfb: corvinta_window_shot WINDOW_ID OUT.png

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: corvinta_window_shot WINDOW_ID OUT.png\n", stderr);
        return 2;
    }
    QGuiApplication application(argc, argv);
    const WId window = static_cast<WId>(std::strtoull(argv[1], nullptr, 0));
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(window);
    if (shot.isNull() || !shot.save(argv[2], "PNG")) {
        std::fprintf(stderr, "corvinta_window_shot: cannot save window %s into %s\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}
