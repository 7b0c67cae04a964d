#pragma once
// The organ as a whole: start-up in its fixed order, the running organ, and
// shutdown in reverse. The window and the headless program both use it.

#include "app/CombinationCommands.h"
#include "app/CommandLine.h"
#include "app/DeviceWatcher.h"
#include "engine/MidiLog.h"
#include "engine/MidiRecorder.h"
#include "engine/OutputEngine.h"
#include "midi_in/MidiInput.h"
#include "organ/Console.h"
#include "persist/ConsolePersistence.h"
#include "persist/OrganistFolder.h"
#include "platform/MidiSystem.h"
#include "platform/UserMessages.h"
#include "synth/MidiFilePlayer.h"

#include <atomic>
#include <memory>

namespace corvinta {

class CCorvintaApp {
public:
    CCorvintaApp(CCommandLineInfoEx options, IUserMessages& messages);
    ~CCorvintaApp();
    CCorvintaApp(const CCorvintaApp&) = delete;
    CCorvintaApp& operator=(const CCorvintaApp&) = delete;

    // Builds the console and the engine and starts both workers. Returns 0
    // when the organ is ready to play, else the exit code to end with.
    int Start();
    // What the console window does once it is up: make the MIDI file player,
    // open the MIDI inputs, give the engine the swell threshold, enable input
    // and, on a first run, play the start-up piece. playerLinks lets the
    // window add its dialogs and its panel's change notice.
    void ConsoleReady(PlayerLinks playerLinks = {});
    // Closes in order: input, engine, player, then the files and the
    // outputs. A worker that does not stop within its polls is reported and
    // left behind; the files are still written. Safe to call twice.
    void Close();

    // Before Start: the console is shown in a window (keys can then also be
    // played on screen) at this scale of the skin's design pixels.
    void UseWindow(double scale)
    {
        windowed_ = true;
        scale_ = scale;
    }
    bool Windowed() const { return windowed_; }
    // Before Start: the MIDI system to use instead of the one the options name.
    void UseMidiSystem(std::unique_ptr<IMidiSystem> midi) { midi_ = std::move(midi); }
    // How long closing waits for each worker: polls of pollMs (300 of 100 ms).
    void SetWorkerStopLimit(int polls, int pollMs)
    {
        stopPolls_ = polls;
        stopPollMs_ = pollMs;
    }

    const CCommandLineInfoEx& Options() const { return options_; }
    CConsole& Console() { return *console_; }
    OutputEngine& Engine() { return *engine_; }
    MidiInput& Input() { return *input_; }
    IMidiSystem& Midi() { return *midi_; }
    const PersistedFiles& Files() const { return files_; }
    // The console menu's combination commands, on the files this run uses.
    CombinationCommands Combinations() { return {*console_, files_}; }
    // Where the organist's files are kept this run.
    const OrganistFiles& Organist() const { return organistFiles_; }
    MidiLog* Log() { return log_.get(); }
    // Null until ConsoleReady.
    MidiFilePlayer* Player() { return player_.get(); }
    // Null until ConsoleReady, and while rendering. Its notices are for the
    // organist: the headless loop prints them, the window shows them.
    DeviceWatcher* Watcher() { return watcher_.get(); }
    RecorderControl* Recording() { return recording_.get(); }
    // Rendering a file offline: no workers, no audio driver, and the
    // organist's files are read but never written.
    bool Rendering() const { return !options_.renderMidi.empty(); }
    // While rendering, the log's and the recorder's clock: the audio rendered so far.
    void SetRenderTime(uint32_t milliseconds) { renderTime_.store(milliseconds, std::memory_order_relaxed); }

private:
    CCommandLineInfoEx options_;
    IUserMessages& messages_;
    OrganistFiles organistFiles_;
    PersistedFiles files_;
    std::unique_ptr<IMidiSystem> midi_;
    std::unique_ptr<MidiLog> log_;
    std::unique_ptr<CConsole> console_;
    std::unique_ptr<MidiInput> input_;
    std::unique_ptr<OutputEngine> engine_;
    std::unique_ptr<RecorderControl> recording_;
    std::unique_ptr<MidiFilePlayer> player_;
    std::unique_ptr<DeviceWatcher> watcher_;
    std::atomic<uint32_t> renderTime_{0};
    bool running_ = false;
    bool windowed_ = false;
    double scale_ = 1.0;
    int stopPolls_ = 300;
    int stopPollMs_ = 100;
    // Set when closing left a worker behind; read by the player's timer thread.
    std::atomic<bool> workerLeftBehind_{false};
};

} // namespace corvinta
