#include "app/ApplySettings.h"

#include "app/CorvintaApp.h"
#include "persist/DeviceResolution.h"

#include <algorithm>

namespace corvinta {

int VolumeFromStep(int step)
{
    return std::clamp(8 * std::clamp(step, 1, 16) - 1, 0, 127);
}

int PanFromStep(int step)
{
    const int p = std::clamp(step, -8, 8);
    return p == 8 ? 127 : 64 + 8 * p;
}

namespace {

// A take in progress: saved as the Record button saves it, discarded, or
// kept going (and the settings do not open).
bool SettleTheTake(CCorvintaApp& app)
{
    MidiFilePlayer* player = app.Player();
    if (!player || !player->RecordButtonDown())
        return true;
    const MessageAnswer answer = app.Console().Messages().Show(
        {kTakeQuestion, kTakeCaption, MessageIcon::Question, MessageButtons::YesNoCancel, MessageAnswer::Cancel});
    if (answer == MessageAnswer::Cancel)
        return false;
    if (answer == MessageAnswer::Yes)
        player->PlayerCommand(kPlayerRecordButton);
    else
        player->StopRecordingNoSave();
    return true;
}

} // namespace

SettingsOutcome ApplySettingsCommand(CCorvintaApp& app, const SettingsDialog& dialog)
{
    CConsole& console = app.Console();
    OutputEngine& engine = app.Engine();
    MidiInput& input = app.Input();

    if (MidiFilePlayer* player = app.Player(); player && player->Playing())
        player->StopPlayer(true);
    if (!SettleTheTake(app))
        return SettingsOutcome::KeptRecording;

    console.PauseInput();
    std::optional<EditedSettings> edited = dialog(console);
    if (!edited) {
        console.ResumeInput();
        return SettingsOutcome::Cancelled;
    }

    // Devices are closed and opened here, not by the watcher meanwhile.
    std::lock_guard devices(console.DeviceLock());
    input.CloseAll();
    engine.CloseOutputs();

    OrganSettings& settings = console.Settings();
    const OrganSettings before = settings;
    EditedSettings& e = *edited;

    // Console-wide options, as edited; the velocity mask only when its box changed.
    const uint8_t velocityMask = settings.console.velocityMask;
    settings.console = e.settings.console;
    settings.console.velocityMask = e.velocityForPiano ? (*e.velocityForPiano ? 0x00 : 0xFF) : velocityMask;
    settings.console.memLevel = before.console.memLevel; // the console's, not the dialog's
    engine.SetMinimumExpression(settings.console.swellThreshold);

    // Ranks: only the steps the organist changed become MIDI values; the rest
    // keep their values to the bit.
    settings.ranks = e.settings.ranks;
    for (size_t r = 0; r < settings.ranks.size(); ++r) {
        if (r < e.volumeSteps.size() && e.volumeSteps[r])
            settings.ranks[r].volume = VolumeFromStep(*e.volumeSteps[r]);
        if (r < e.panSteps.size() && e.panSteps[r])
            settings.ranks[r].pan = PanFromStep(*e.panSteps[r]);
    }
    const size_t outputs = console.outputDevicesPresent.size();
    settings.console.mergedOutEnabled =
        !settings.ranks.empty() && settings.ranks.back().deviceId != kNoDevice && settings.ranks.back().deviceId < outputs;
    ValidateRankChannels(settings.ranks);
    engine.OpenOutputs();
    engine.SetupRankVoices();

    // Divisions, devices, routing and control assignments.
    settings.divisions = e.settings.divisions;
    for (int d = 0; d < console.DivisionCount(); ++d)
        for (auto& state : console.Division(d).keyStates)
            state.store(0);
    std::vector<uint16_t> inUse;
    for (const std::string& name : e.inputDevicesInUse) {
        const auto found = std::find(console.inputDevicesPresent.begin(), console.inputDevicesPresent.end(), name);
        if (found != console.inputDevicesPresent.end())
            inUse.push_back(static_cast<uint16_t>(found - console.inputDevicesPresent.begin()));
    }
    console.inputDevicesInUse = inUse;
    console.awaitedInputs.clear(); // the organist has chosen
    console.assignments = e.assignments;
    console.useDefaultAssignments = e.useDefaultAssignments;
    console.FillControlBytes();
    console.RebuildRouting();
    input.OpenAll();
    if (settings.console.useTibiaUnification != before.console.useTibiaUnification)
        console.ApplyTibiaUnification();

    // The shoes and tremulants again, for the new outputs; they wait in the
    // held engine and follow the ranks' new voices.
    console.ResendShoesAndTremulants();

    // The synthesizer: its driver, reverb and chorus, and the fonts only when their list changed.
    settings.synth = e.settings.synth;
    if (FluidSynthHost* synth = engine.Synth()) {
        const SynthSettings& s = settings.synth;
        synth->ApplySynthSettings(s.polyphony, s.bufferCount, s.bufferSize, s.gain, s.sampleRate);
        synth->ApplyReverb(s.reverbOn, s.reverbRoomSize, s.reverbDamping, s.reverbWidth, 1.0);
        synth->ApplyChorus(s.chorusOn, s.chorusVoiceCount, s.chorusLevel, s.chorusSpeed, s.chorusDepth, s.chorusType);
        if (e.soundFontsChanged) {
            settings.soundFonts = e.settings.soundFonts;
            synth->LoadSoundFonts();
        }
    }
    std::copy(std::begin(e.settings.calibration), std::end(e.settings.calibration), std::begin(settings.calibration));

    console.ResumeInput();
    return SettingsOutcome::Applied;
}

} // namespace corvinta
