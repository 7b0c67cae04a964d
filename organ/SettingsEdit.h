#pragma once
// What the settings dialog edits: a copy of the console's settings, device
// lists taken once when it opens, the control assignments and the options,
// with the values each cell shows and takes, and the checks OK runs. The
// dialog is a view of it; nothing reaches the organ until OK hands the
// edits over (EditedSettings) to be applied.

#include "organ/ControlAssignments.h"
#include "organ/EditedSettings.h"
#include "platform/UserMessages.h"

#include <optional>
#include <string>
#include <vector>

namespace corvinta {

class CConsole;

// The control list's three pages.
enum class ControlPage { Expression = 0, Pistons = 1, Stops = 2 };
// What a control cell's right-click offers: nothing, the divisions (and
// "<auxiliary>"), or the numbers 0..127.
enum class ControlMenu { None, Divisions, Numbers };

// Input list columns and rank list columns, as the dialog numbers them.
enum InputColumn { kInputDivision, kInputDevice, kInputChannel, kInputLow, kInputHigh, kInputTranspose,
                   kInputMethod, kInputPressure, kInputPartnerChannel, kInputColumns };
enum RankColumn { kRankName, kRankDevice, kRankChannel, kRankVolume, kRankPan, kRankBank, kRankPatch1,
                  kRankPatch2, kRankColumns };

class SettingsEdit {
public:
    explicit SettingsEdit(const CConsole& console);

    // Devices as the organ listed them when the dialog opened.
    const std::vector<std::string>& InputDevices() const { return inputs_; }
    // The MIDI outputs, then "Corvinta Fluidsynth" (index = output count).
    std::vector<std::string> OutputMenu() const;
    bool InputsEnabled() const { return !inputs_.empty(); }
    bool OutputsEnabled() const { return !outputs_.empty(); }
    int FluidSynthChannels() const { return fluidSynthChannels_; }

    // Active input devices, by device number, in the order added.
    const std::vector<uint16_t>& ActiveInputs() const { return active_; }
    void AddInputDevice(uint16_t device);
    // A division listening to a removed device listens to every active device.
    void DeleteInputDevice(uint16_t device);

    // The input list: divisions that are not another's second touch, then the auxiliary row.
    int InputRowCount() const { return static_cast<int>(inputRows_.size()); }
    std::string InputCell(int row, int column) const;
    // Whether a cell opens a menu (the auxiliary row only for device and channel).
    bool InputCellEditable(int row, int column) const;
    // value: device number (or the device count for none), channel 0..15,
    // note, transposition, method 0..2, pressure.
    void SetInputCell(int row, int column, int value);

    int RankRowCount() const { return static_cast<int>(settings_.ranks.size()) - 1; } // the merged entry is apart
    std::string RankCell(int rank, int column) const;
    // value: output index (OutputMenu), channel 0-based, volume step 1..16,
    // pan step -8..8, bank or program 0..127.
    void SetRankCell(int rank, int column, int value);
    void SetAllRankDevices(int outputIndex);
    // The merged output: an output index, or none (-1).
    int MergedDevice() const;
    void SetMergedDevice(int outputIndex);

    // The control list. Stops: `group` is the division chosen (0..5), or
    // the division count for the tremulants.
    static std::vector<std::string> ControlHeaders(ControlPage page);
    std::vector<std::string> StopGroups() const; // "Solo stops" ... "Tremulants"
    int ControlRowCount(ControlPage page, int group) const;
    std::string ControlCell(ControlPage page, int group, int row, int column) const;
    ControlMenu ControlCellMenu(ControlPage page, int group, int row, int column) const;
    // value: a division index or 255 for the auxiliary entry, or a number 0..127.
    void SetControlCell(ControlPage page, int group, int row, int column, int value);

    // Everything else the dialog shows and edits in place.
    OrganSettings& Settings() { return settings_; }
    const OrganSettings& Settings() const { return settings_; }
    ControlWorkingCopy& Controls() { return controls_; }
    void MarkControlsChanged() { controlsChanged_ = true; }
    void SetVelocityForPiano(bool on) { velocityForPiano_ = on; }
    bool VelocityForPiano() const { return velocityForPiano_ ? *velocityForPiano_ : settings_.console.velocityMask == 0; }
    bool useDefaultAssignments = true; // "Use configured control values" unchecked
    bool pistonSoundEnabled = true;
    std::string pistonSoundText; // the note edit, digits only
    std::string swellThresholdText;
    std::string pizzicatoText;

    // Sound fonts: Load adds, Unload removes; either marks the list changed.
    void AddSoundFont(const std::string& path, int bankOffset);
    void RemoveSoundFonts(std::vector<int> indices);
    std::string SoundFontText(int index) const;

    // OK's checks in their order; a failure is shown through messages and
    // the dialog stays open (nullopt). Otherwise the edits, ready to apply.
    std::optional<EditedSettings> Confirm(IUserMessages& messages) const;

    // The sound font dialog's check of its bank offset: the message, or empty when it is accepted.
    static std::string BankOffsetProblem(const std::string& text);

    // The page the dialog was last closed on, kept while the program runs.
    static int& LastPage();

private:
    // The working copy's slot a control cell shows, -1 for none.
    int ControlSlot(ControlPage page, int group, int row, int column, bool& program) const;
    int DivisionOfRow(int row) const { return inputRows_[static_cast<size_t>(row)]; }
    int PartnerOf(int division) const;
    std::string InputDeviceName(uint16_t device) const;

    OrganSettings settings_;
    OrganSettings original_;
    std::vector<std::string> inputs_;
    std::vector<std::string> outputs_;
    std::vector<uint16_t> active_;
    std::vector<int> inputRows_; // division per row; the auxiliary entry last
    std::vector<int> partner_;   // second-touch partner per division, -1 for none
    std::vector<std::string> divisionNames_;
    std::vector<std::string> rankNames_;
    int fluidSynthChannels_ = 16;
    ControlWorkingCopy controls_;
    bool controlsChanged_ = false;
    std::vector<std::optional<int>> volumeSteps_;
    std::vector<std::optional<int>> panSteps_;
    std::optional<bool> velocityForPiano_;
    bool soundFontsChanged_ = false;
};

} // namespace corvinta
