// Corvinta's entry point.

#include "app/CommandLine.h"
#include "app/CorvintaApp.h"
#include "app/OfflineRender.h"
#include "persist/OrganistFolder.h"
#include "platform/StderrUserMessages.h"
#include "synth/FluidHandles.h"
#include "synth/FluidSynthHost.h"
#ifdef CORVINTA_WITH_WINDOW
#include "ui/RunWindow.h"
#endif

#include <fluidsynth.h>

#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <string>

using namespace corvinta;

namespace {

// Runs until SIGINT or SIGTERM, then closes as the window's close does.
int RunHeadless(CCorvintaApp& app)
{
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    std::fprintf(stderr, "%s\n", OrganistFolderText(app.Organist()).c_str());
    size_t inputs = 0;
    {
        std::lock_guard lock(app.Console().DeviceLock()); // the watcher may be adding devices
        inputs = app.Midi().InputNames().size();
    }
    std::fprintf(stderr, "Corvinta is playing (MIDI: %s, %zu input%s). Ctrl+C ends it.\n", app.Midi().ApiName().c_str(),
                 inputs, inputs == 1 ? "" : "s");
    // A few times a second, between signals: devices that came or went, and
    // once if MIDI input had to be dropped.
    const timespec quarter{0, 250'000'000};
    while (sigtimedwait(&stop, nullptr, &quarter) < 0) {
        if (DeviceWatcher* watcher = app.Watcher())
            for (const std::string& notice : watcher->TakeNotices())
                std::fprintf(stderr, "Corvinta: %s\n", notice.c_str());
        if (const std::string report = app.Input().TakeDropReport(); !report.empty())
            std::fprintf(stderr, "Corvinta: %s\n", report.c_str());
    }
    std::fprintf(stderr, "Corvinta is closing.\n");
    app.Close();
    return 0;
}

// The devices as the organ sees them; the names are those its configuration stores.
int ListMidi(const CCommandLineInfoEx& options)
{
    const auto midi = OpenMidiSystem(options.midiApi);
    std::printf("MIDI system: %s\n", midi->ApiName().c_str());
    auto list = [](const char* title, const std::vector<std::string>& names) {
        std::printf("%s:\n", title);
        if (names.empty())
            std::printf("  (none)\n");
        for (size_t id = 0; id < names.size(); ++id)
            std::printf("  %zu  %s\n", id, names[id].c_str());
    };
    list("Inputs", midi->InputNames());
    list("Outputs", midi->OutputNames());
    return 0;
}

// Whether FluidSynth can open the sound system with the driver and the
// synthesizer settings a new organ starts with.
int CheckAudio(const CCommandLineInfoEx& options)
{
    fluid_set_log_function(FLUID_PANIC, nullptr, nullptr);
    fluid_set_log_function(FLUID_ERR, nullptr, nullptr);
    fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
    const FluidSettingsHandle settings(new_fluid_settings());
    if (!settings)
        return 1;
    SetOrganSynthSettings(settings.get(), SynthSettings{}, SynthOptions{options.audioDriver, {}});
    const FluidSynthHandle synth(new_fluid_synth(settings.get()));
    const FluidDriverHandle driver(synth ? new_fluid_audio_driver(settings.get(), synth.get()) : nullptr);
    return driver && options.audioDriver != "none" ? 0 : 1;
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
        std::FILE* out = options.help ? stdout : stderr;
        std::fputs(CommandLineHelp(), out);
        std::fprintf(out, "  In use now: %s\n",
                     ChooseOrganistFiles(options.configFile, options.comboFile).folder.string().c_str());
        return options.help ? 0 : 2;
    }
    if (options.version) {
        std::fputs(VersionText(), stdout);
        return 0;
    }
    if (options.listMidi)
        return ListMidi(options);
    if (options.checkAudio)
        return CheckAudio(options);

#ifdef CORVINTA_WITH_WINDOW
    if (!options.headless && options.renderMidi.empty()) {
        if (!ui::DisplayAvailable()) {
            std::fputs("corvinta: no display to open the console window on (DISPLAY and WAYLAND_DISPLAY are unset); "
                       "'corvinta --headless' plays without a window.\n",
                       stderr);
            return 1;
        }
        return ui::RunConsoleWindow(options, argc, argv);
    }
#endif

    StderrUserMessages messages;
    CCorvintaApp app(options, messages);
    if (const int code = app.Start(); code != 0)
        return code;
    app.ConsoleReady();
    if (app.Rendering()) {
        const int code = RenderOffline(app);
        app.Close();
        if (code == 0)
            std::fprintf(stderr, "Corvinta rendered '%s' into '%s'.\n", options.renderMidi.c_str(),
                         options.renderWav.c_str());
        return code;
    }
    return RunHeadless(app);
}
