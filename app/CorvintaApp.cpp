#include "app/CorvintaApp.h"

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

// The console (with its inputs) goes first, then the engine.
CCorvintaApp::~CCorvintaApp()
{
    Close();
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
    console_->Build(steps);
    if (files_.quitRequested)
        return 1;
    console_->RebuildRouting();
    console_->SetInputControl(input_.get());
    if (!Rendering() && !input_->StartWorker()) {
        ShowError(messages_, "Cannot create worker thread!", kWorkerCaption);
        return 1;
    }

    if (!options_.midiLog.empty()) {
        log_ = std::make_unique<MidiLog>(midi_->OutputNames());
        if (!log_->Open(options_.midiLog)) {
            ShowWarning(messages_, "Cannot create the MIDI log file '" + options_.midiLog + "'.", "Corvinta Error");
            log_.reset();
        } else if (Rendering()) {
            log_->SetClock([] { return 0u; }); // the voices are set before any audio
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
    running_ = true;
    return 0;
}

void CCorvintaApp::ConsoleReady()
{
    input_->OpenAll();
    engine_->SetMinimumExpression(console_->Settings().console.swellThreshold);
    input_->SetInputEnabled(true);
}

void CCorvintaApp::Close()
{
    if (!running_)
        return;
    running_ = false;
    input_->SetInputEnabled(false);
    input_->StopWorker();
    // The engine drains nothing more: no new requests can arrive now.
    engine_->StopWorker(300, 100);
    if (FluidSynthHost* synth = engine_->Synth())
        synth->ReadSynthSettings(console_->Settings().synth);
    if (!Rendering())
        SaveAtClose(*console_, files_);
    input_->CloseAll();
}

} // namespace corvinta
