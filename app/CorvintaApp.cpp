#include "app/CorvintaApp.h"

#include "app/OfflineRender.h"
#include "platform/DataFiles.h"

#include <fluidsynth.h>

namespace corvinta {

namespace {
constexpr const char* kWorkerCaption = "Corvinta Worker Thread Initialization";
constexpr int kSynthFailedExitCode = -1;
} // namespace

CCorvintaApp::CCorvintaApp(CCommandLineInfoEx options, IUserMessages& messages)
    : options_(std::move(options)), messages_(messages)
{
    if (!options_.configFile.empty())
        files_.configFileName = options_.configFile;
    if (!options_.comboFile.empty())
        files_.comboFileName = options_.comboFile;
}

// The player first (it pauses the console's input when it stops a file), then
// the console with its inputs, then the engine.
CCorvintaApp::~CCorvintaApp()
{
    Close();
    player_.reset();
    recording_.reset();
    input_.reset();
    console_.reset();
    engine_.reset();
    log_.reset();
    midi_.reset();
}

int CCorvintaApp::Start()
{
    midi_ = OpenMidiSystem(options_.midiApi);
    console_ = std::make_unique<CConsole>(messages_);
    input_ = std::make_unique<MidiInput>(*console_, *midi_);
    input_->Enumerate();
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
    playerLinks.pauseResumeInput = [this] { console_->Panic(); };
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
    if (!Rendering())
        input_->OpenAll();
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
    input_->SetInputEnabled(false);
    input_->StopWorker();
    if (player_) {
        player_->StopPlayer(true); // all notes off through the console's panic
        player_->StopRecordingNoSave();
    }
    // The engine drains nothing more: no new requests can arrive now.
    engine_->StopWorker(300, 100);
    if (FluidSynthHost* synth = engine_->Synth())
        synth->ReadSynthSettings(console_->Settings().synth);
    if (!Rendering())
        SaveAtClose(*console_, files_);
    input_->CloseAll();
}

} // namespace corvinta
