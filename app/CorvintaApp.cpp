#include "app/CorvintaApp.h"

#include "app/OfflineRender.h"
#include "platform/DataFiles.h"

#include <fluidsynth.h>

#include <mutex>
#include <vector>

namespace corvinta {

namespace {
constexpr const char* kWorkerCaption = "Corvinta Worker Thread Initialization";
constexpr int kSynthFailedExitCode = -1;

// A worker left behind at closing may wake at any time: what it can reach
// is never destroyed, only let go at the end of the process.
void KeepForWorkerLeftBehind(std::shared_ptr<void> part)
{
    static std::mutex mutex;
    static auto* kept = new std::vector<std::shared_ptr<void>>();
    std::lock_guard lock(mutex);
    kept->push_back(std::move(part));
}

void ReportWorkerLeftBehind(IUserMessages& messages, const char* worker, int waitedMs)
{
    const int seconds = (waitedMs + 999) / 1000;
    ShowWarning(messages,
                std::string("The ") + worker + " did not stop within " + std::to_string(seconds) +
                    (seconds == 1 ? " second" : " seconds") + ".\nCorvinta closes without waiting for it.",
                "Corvinta Error");
}
} // namespace

CCorvintaApp::CCorvintaApp(CCommandLineInfoEx options, IUserMessages& messages)
    : options_(std::move(options)), messages_(messages),
      organistFiles_(ChooseOrganistFiles(options_.configFile, options_.comboFile))
{
    files_.configFileName = organistFiles_.configFile;
    files_.comboFileName = organistFiles_.comboFile;
    files_.defaultConfigFileName = ChooseOrganistFiles({}, {}).configFile;
    // A render never writes the organist's files, so it makes no folder for them.
    if (!Rendering())
        MakeOrganistFolder(organistFiles_);
}

// The player first (it pauses the console's input when it stops a file), then
// the console with its inputs, then the engine.
CCorvintaApp::~CCorvintaApp()
{
    Close();
    if (workerLeftBehind_) {
        KeepForWorkerLeftBehind(std::move(player_));
        KeepForWorkerLeftBehind(std::move(recording_));
        KeepForWorkerLeftBehind(std::move(input_));
        KeepForWorkerLeftBehind(std::move(console_));
        KeepForWorkerLeftBehind(std::move(engine_));
        KeepForWorkerLeftBehind(std::move(log_));
        KeepForWorkerLeftBehind(std::move(midi_));
        return;
    }
    watcher_.reset();
    player_.reset();
    recording_.reset();
    input_.reset();
    // A start that ended early never closed: a device that fails to close
    // is still reported through a console that exists.
    if (engine_)
        engine_->CloseOutputs();
    console_.reset();
    engine_.reset();
    log_.reset();
    midi_.reset();
}

int CCorvintaApp::Start()
{
    if (!midi_)
        midi_ = OpenMidiSystem(options_.midiApi);
    console_ = std::make_unique<CConsole>(messages_, scale_);
    input_ = std::make_unique<MidiInput>(*console_, *midi_);
    // A render hears only its file, so it looks for no keyboards; without a
    // window, keys come from MIDI alone.
    if (!Rendering())
        input_->Enumerate(windowed_ ? MidiInput::ScreenPlay::Offered : MidiInput::ScreenPlay::NotOffered);
    console_->outputDevicesPresent = midi_->OutputNames();

    ConsoleBuildSteps steps = PersistenceBuildSteps(files_);
    steps.assignControls = [](CConsole& c) { c.FillControlBytes(); };
    // A render plays the organ as built unless it is given the organist's files.
    if (Rendering() && options_.configFile.empty())
        steps.readConfiguration = {};
    if (Rendering() && options_.comboFile.empty())
        steps.loadCombinations = {};
    console_->Build(steps);
    if (files_.quitRequested)
        return 1;
    console_->RebuildRouting();
    console_->SetInputControl(input_.get());
    if (!Rendering() && !input_->StartWorker()) {
        ShowError(messages_, "Cannot create worker thread!", kWorkerCaption);
        return 1;
    }

    // While rendering, time is the audio rendered so far.
    std::function<uint32_t()> renderClock;
    if (Rendering())
        renderClock = [this] { return renderTime_.load(std::memory_order_relaxed); };
    if (!options_.midiLog.empty()) {
        log_ = std::make_unique<MidiLog>(midi_->OutputNames());
        if (!log_->Open(options_.midiLog)) {
            ShowWarning(messages_, "Cannot create the MIDI log file '" + options_.midiLog + "'.", "Corvinta Error");
            log_.reset();
        } else if (renderClock) {
            log_->SetClock(renderClock);
        }
    }
    EngineParts parts;
    parts.midi = midi_.get();
    parts.synth.audioDriver = Rendering() ? "none" : options_.audioDriver;
    parts.observer = log_.get();
    engine_ = std::make_unique<OutputEngine>(*console_, parts);
    if (engine_->SynthFailed())
        return kSynthFailedExitCode;
    if (!Rendering() && !engine_->StartWorker()) {
        ShowError(messages_, "Cannot create worker thread!", kWorkerCaption);
        engine_.reset();
        return 1;
    }
    console_->SetOutput(engine_.get());
    // The saved registration sounds from the first key, before input is enabled.
    console_->SoundRegistration();
    recording_ = std::make_unique<RecorderControl>(*engine_, messages_, renderClock);
    running_ = true;
    return 0;
}

void CCorvintaApp::ConsoleReady(PlayerLinks playerLinks)
{
    playerLinks.push = [this](uint32_t message, uint32_t source) { return input_->Push(message, source); };
    // A render has no worker to make room: the queues are emptied here first.
    if (Rendering())
        playerLinks.push = [this](uint32_t message, uint32_t source) {
            if (input_->QueueFull())
                DrainOrganHere(*this);
            return input_->Push(message, source);
        };
    playerLinks.discardQueued = [this] { input_->DiscardFileEvents(); };
    // A worker left behind at closing may hold the locks the panic takes.
    playerLinks.pauseResumeInput = [this] {
        if (!workerLeftBehind_)
            console_->Panic();
    };
    playerLinks.recording = recording_.get();
    PlayerOptions playerOptions;
    if (Rendering()) {
        playerOptions.timing = PlayerTiming::Sample;
        if (FluidSynthHost* host = engine_->Synth())
            fluid_settings_getnum(host->Settings(), "synth.sample-rate", &playerOptions.sampleRate);
    }
    player_ = std::make_unique<MidiFilePlayer>(messages_, std::move(playerLinks), playerOptions);
    player_->BuildPlayerPanel();
    // A render hears only its file: no keyboard may play into it.
    if (!Rendering()) {
        input_->OpenAll();
        watcher_ = std::make_unique<DeviceWatcher>(*console_, *midi_, *input_, *engine_);
        if (!watcher_->Start())
            watcher_.reset(); // devices are then followed no further than start-up
    }
    engine_->SetMinimumExpression(console_->Settings().console.swellThreshold);
    input_->SetInputEnabled(true);
    if (files_.noConfigurationFound && !Rendering())
        player_->PlayStartupFile(FindDataFile(kStartupMidiFile));
}

void CCorvintaApp::Close()
{
    if (!running_)
        return;
    running_ = false;
    // No device opens or closes behind the closing.
    if (watcher_)
        watcher_->Stop();
    input_->SetInputEnabled(false);
    // Both workers end before anything that takes their locks (the panic,
    // the recorder, the outputs), and neither is waited for without limit:
    // one that does not answer is let go and closing goes on without it.
    // Once the input worker has ended no new request reaches the engine.
    const bool inputStopped = input_->StopWorker(stopPolls_, stopPollMs_);
    const bool engineStopped = engine_->StopWorker(stopPolls_, stopPollMs_);
    if (!inputStopped)
        input_->DetachWorker();
    if (!engineStopped)
        engine_->DetachWorker();
    workerLeftBehind_ = !inputStopped || !engineStopped;
    if (player_) {
        player_->StopPlayer(true); // all notes off through the console's panic
        if (engineStopped)
            player_->StopRecordingNoSave();
    }
    // A worker left inside FluidSynth may hold its lock.
    if (FluidSynthHost* synth = engine_->Synth(); synth && engineStopped)
        synth->ReadSynthSettings(console_->Settings().synth);
    if (!Rendering())
        SaveAtClose(*console_, files_);
    input_->CloseAll();
    // While the console lives to report a device that fails to close.
    if (engineStopped)
        engine_->CloseOutputs();
    const int waitedMs = stopPolls_ * stopPollMs_;
    if (!inputStopped)
        ReportWorkerLeftBehind(messages_, "MIDI input worker", waitedMs);
    if (!engineStopped)
        ReportWorkerLeftBehind(messages_, "sound output worker", waitedMs);
}

} // namespace corvinta
