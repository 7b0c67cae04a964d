#pragma once
// The settings command: the settings dialog opened on the running organ,
// and the organ brought over to what the organist confirmed without a
// restart. Everything is silenced and held while devices close and reopen,
// ranks are voiced again, shoes and tremulants are sent again, and the
// synthesizer is set up; then input runs again.

#include "organ/EditedSettings.h"

#include <functional>
#include <optional>

namespace corvinta {

class CCorvintaApp;
class CConsole;

// Shown with the console's settings in force; the edits on OK, nothing on Cancel.
using SettingsDialog = std::function<std::optional<EditedSettings>(CConsole& console)>;

enum class SettingsOutcome {
    Applied,
    Cancelled,     // nothing changed (playback stopped, as it is for any settings)
    KeptRecording, // a take is being recorded and the organist chose to go on
};

// The question asked before the settings open while a take is recorded.
inline constexpr char kTakeQuestion[] =
    "A MIDI recording is in progress.\nDo you want to save it before the settings open?\n"
    "Yes saves it, No discards it, Cancel goes on recording.";
inline constexpr char kTakeCaption[] = "Corvinta Settings";

SettingsOutcome ApplySettingsCommand(CCorvintaApp& app, const SettingsDialog& dialog);

// A rank's dialog steps in MIDI values: volume 1..16 -> 8 v - 1, pan -8..8
// -> 64 + 8 p with 8 -> 127.
int VolumeFromStep(int step);
int PanFromStep(int step);

} // namespace corvinta
