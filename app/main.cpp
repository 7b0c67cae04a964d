// Corvinta's entry point.

#include "app/CommandLine.h"
#include "app/CorvintaApp.h"
#include "app/OfflineRender.h"
#include "platform/StderrUserMessages.h"

#include <csignal>
#include <cstdio>
#include <pthread.h>

using namespace corvinta;

namespace {

// Runs until SIGINT or SIGTERM, then closes as the window's close does.
int RunHeadless(CCorvintaApp& app)
{
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    app.ConsoleReady();
    std::fprintf(stderr, "Corvinta is playing (MIDI: %s, %zu input%s). Ctrl+C ends it.\n", app.Midi().ApiName().c_str(),
                 app.Midi().InputNames().size(), app.Midi().InputNames().size() == 1 ? "" : "s");
    int signal = 0;
    sigwait(&stop, &signal);
    std::fprintf(stderr, "Corvinta is closing.\n");
    app.Close();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // Every thread inherits this mask, so only the main thread takes the
    // stop signals, at its sigwait.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    const CCommandLineInfoEx options = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (options.help || !options.errors.empty()) {
        for (const std::string& e : options.errors)
            std::fprintf(stderr, "corvinta: %s\n", e.c_str());
        std::fputs(CommandLineHelp(), options.help ? stdout : stderr);
        return options.help ? 0 : 2;
    }

    StderrUserMessages messages;
    CCorvintaApp app(options, messages);
    if (const int code = app.Start(); code != 0)
        return code;
    if (app.Rendering()) {
        const int code = RenderOffline(app, options.renderMidi, options.renderWav);
        app.Close();
        return code;
    }
    return RunHeadless(app);
}
