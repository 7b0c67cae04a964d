#include "organ/SettingsEdit.h"

#include "organ/Console.h"
#include "organ/SettingsMenus.h"

#include <algorithm>
#include <charconv>

namespace corvinta {

using namespace settings_menus;

namespace {

constexpr char kOutputCaption[] = "MIDI output: warning!";

bool ReadInt(const std::string& text, int& value)
{
    if (text.empty())
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

} // namespace

int& SettingsEdit::LastPage()
{
    static int page = 0;
    return page;
}

SettingsEdit::SettingsEdit(const CConsole& console)
    : fluidSynthChannels_(kSynthChannelCount), controls_(ControlWorkingCopy::FromMaps(console.assignments.device))
{
    useDefaultAssignments = console.useDefaultAssignments;
    auto& c = const_cast<CConsole&>(console);
    {
        // The lists as they stand now; devices plugged in meanwhile join them.
        // The input worker takes an arriving device into use (the active
        // list, the divisions' devices) under this lock.
        std::lock_guard lock(c.DeviceLock());
        settings_ = console.Settings();
        inputs_ = console.inputDevicesPresent;
        outputs_ = console.outputDevicesPresent;
        active_ = console.inputDevicesInUse;
    }
    original_ = settings_;
    for (int d = 0; d < c.DivisionCount(); ++d) {
        divisionNames_.push_back(c.Division(d).name);
        const int partner = c.Division(d).secondTouchDivision;
        partner_.push_back(partner != d ? partner : -1);
    }
    for (int d = 0; d < c.DivisionCount(); ++d)
        if (!c.Division(d).isSecondTouch)
            inputRows_.push_back(d);
    inputRows_.push_back(kDivisionCount); // the auxiliary entry
    for (const RankDefinition& rank : kRanks)
        rankNames_.emplace_back(rank.name);
    volumeSteps_.resize(settings_.ranks.size());
    panSteps_.resize(settings_.ranks.size());
    pistonSoundEnabled = settings_.console.pistonSound >= 0;
    pistonSoundText = pistonSoundEnabled ? std::to_string(settings_.console.pistonSound) : "";
    swellThresholdText = std::to_string(settings_.console.swellThreshold);
    pizzicatoText = std::to_string(settings_.console.pizzicatoLength);
    // Without a device of a kind, what needs one is disabled and its values kept.
}

std::vector<std::string> SettingsEdit::OutputMenu() const
{
    std::vector<std::string> menu = outputs_;
    menu.emplace_back(kFluidSynthName);
    return menu;
}

void SettingsEdit::AddInputDevice(uint16_t device)
{
    if (device < inputs_.size() && std::find(active_.begin(), active_.end(), device) == active_.end())
        active_.push_back(device);
}

void SettingsEdit::DeleteInputDevice(uint16_t device)
{
    const auto it = std::find(active_.begin(), active_.end(), device);
    if (it == active_.end())
        return;
    active_.erase(it);
    for (DIVSETTINGS& division : settings_.divisions)
        if (division.deviceId == device) {
            division.deviceId = kNoDevice;
            division.name.clear();
        }
}

int SettingsEdit::PartnerOf(int division) const
{
    return division < static_cast<int>(partner_.size()) ? partner_[static_cast<size_t>(division)] : -1;
}

std::string SettingsEdit::InputDeviceName(uint16_t device) const
{
    if (device < inputs_.size())
        return inputs_[device];
    return "Omni";
}

bool SettingsEdit::InputCellEditable(int row, int column) const
{
    if (!InputsEnabled() || column == kInputDivision)
        return false;
    const int d = DivisionOfRow(row);
    if (d == kDivisionCount)
        return column == kInputDevice || column == kInputChannel;
    if (column >= kInputMethod)
        return PartnerOf(d) >= 0;
    return true;
}

std::string SettingsEdit::InputCell(int row, int column) const
{
    const int d = DivisionOfRow(row);
    const DIVSETTINGS& s = settings_.divisions[static_cast<size_t>(d)];
    const int partner = d < kDivisionCount ? PartnerOf(d) : -1;
    switch (column) {
    case kInputDivision: return d == kDivisionCount ? std::string(kAuxiliaryRow) : divisionNames_[static_cast<size_t>(d)];
    case kInputDevice: return InputDeviceName(s.deviceId);
    case kInputChannel: return std::to_string(s.channel + 1);
    case kInputLow: return d == kDivisionCount ? "" : NoteName(s.lowNote);
    case kInputHigh: return d == kDivisionCount ? "" : NoteName(s.highNote);
    case kInputTranspose: return d == kDivisionCount ? "" : std::to_string(s.transpose);
    case kInputMethod:
        return partner < 0 ? "" : std::string(kSecondTouchMethods[std::min<size_t>(s.secondTouchMethod, 2)]);
    case kInputPressure: return partner < 0 ? "" : std::to_string(s.pressureThreshold);
    case kInputPartnerChannel:
        return partner < 0 ? "" : std::to_string(settings_.divisions[static_cast<size_t>(partner)].channel + 1);
    default: return "";
    }
}

void SettingsEdit::SetInputCell(int row, int column, int value)
{
    if (!InputCellEditable(row, column))
        return;
    const int d = DivisionOfRow(row);
    const int partner = d < kDivisionCount ? PartnerOf(d) : -1;
    // Every column but the channels sets the division and its partner alike.
    auto set = [&](auto apply) {
        apply(settings_.divisions[static_cast<size_t>(d)]);
        if (partner >= 0)
            apply(settings_.divisions[static_cast<size_t>(partner)]);
    };
    switch (column) {
    case kInputDevice:
        set([&](DIVSETTINGS& s) {
            const bool any = value < 0 || value >= static_cast<int>(inputs_.size());
            s.deviceId = any ? kNoDevice : static_cast<uint16_t>(value);
            s.name.clear();
        });
        break;
    case kInputChannel: settings_.divisions[static_cast<size_t>(d)].channel = std::clamp(value, 0, 15); break;
    case kInputPartnerChannel:
        settings_.divisions[static_cast<size_t>(partner)].channel = std::clamp(value, 0, 15);
        break;
    case kInputLow: set([&](DIVSETTINGS& s) { s.lowNote = static_cast<uint8_t>(std::clamp(value, 0, 127)); }); break;
    case kInputHigh: set([&](DIVSETTINGS& s) { s.highNote = static_cast<uint8_t>(std::clamp(value, 0, 127)); }); break;
    case kInputTranspose: set([&](DIVSETTINGS& s) { s.transpose = std::clamp(value, -24, 24); }); break;
    case kInputMethod: set([&](DIVSETTINGS& s) { s.secondTouchMethod = static_cast<uint8_t>(std::clamp(value, 0, 2)); }); break;
    case kInputPressure: set([&](DIVSETTINGS& s) { s.pressureThreshold = static_cast<uint8_t>(std::clamp(value, 0, 127)); }); break;
    default: break;
    }
}

std::string SettingsEdit::RankCell(int rank, int column) const
{
    const RNKSETTINGS& s = settings_.ranks[static_cast<size_t>(rank)];
    switch (column) {
    case kRankName: return rank < static_cast<int>(rankNames_.size()) ? rankNames_[static_cast<size_t>(rank)] : "";
    case kRankDevice: return s.deviceId < outputs_.size() ? outputs_[s.deviceId] : std::string(kFluidSynthName);
    case kRankChannel: return std::to_string(s.channel + 1);
    case kRankVolume:
        return std::to_string(volumeSteps_[static_cast<size_t>(rank)].value_or(VolumeStepOf(s.volume)));
    case kRankPan: return PanLabel(panSteps_[static_cast<size_t>(rank)].value_or(PanStepOf(s.pan)));
    case kRankBank: return std::to_string(s.bank);
    case kRankPatch1: return std::to_string(s.patch1);
    case kRankPatch2: return std::to_string(s.patch2);
    default: return "";
    }
}

void SettingsEdit::SetRankCell(int rank, int column, int value)
{
    // Without MIDI outputs every rank plays FluidSynth: only the device has no choice.
    if (!OutputsEnabled() && column == kRankDevice)
        return;
    RNKSETTINGS& s = settings_.ranks[static_cast<size_t>(rank)];
    switch (column) {
    case kRankDevice:
        s.deviceId = value >= 0 && value < static_cast<int>(outputs_.size()) ? static_cast<uint16_t>(value) : kNoDevice;
        break;
    case kRankChannel: s.channel = std::clamp(value, 0, fluidSynthChannels_ - 1); break;
    case kRankVolume: volumeSteps_[static_cast<size_t>(rank)] = std::clamp(value, 1, 16); break;
    case kRankPan: panSteps_[static_cast<size_t>(rank)] = std::clamp(value, -8, 8); break;
    case kRankBank: s.bank = std::clamp(value, 0, 127); break;
    case kRankPatch1: s.patch1 = std::clamp(value, 0, 127); break;
    case kRankPatch2: s.patch2 = std::clamp(value, 0, 127); break;
    default: break;
    }
}

void SettingsEdit::SetAllRankDevices(int outputIndex)
{
    for (int r = 0; r < RankRowCount(); ++r)
        SetRankCell(r, kRankDevice, outputIndex);
}

int SettingsEdit::MergedDevice() const
{
    const uint16_t device = settings_.ranks.back().deviceId;
    return device < outputs_.size() ? device : -1;
}

void SettingsEdit::SetMergedDevice(int outputIndex)
{
    settings_.ranks.back().deviceId =
        outputIndex >= 0 && outputIndex < static_cast<int>(outputs_.size()) ? static_cast<uint16_t>(outputIndex) : kNoDevice;
}

void SettingsEdit::AddSoundFont(const std::string& path, int bankOffset)
{
    settings_.soundFonts.push_back({path, bankOffset});
    soundFontsChanged_ = true;
}

void SettingsEdit::RemoveSoundFonts(std::vector<int> indices)
{
    std::sort(indices.rbegin(), indices.rend());
    for (int i : indices)
        if (i >= 0 && i < static_cast<int>(settings_.soundFonts.size())) {
            settings_.soundFonts.erase(settings_.soundFonts.begin() + i);
            soundFontsChanged_ = true;
        }
}

std::string SettingsEdit::SoundFontText(int index) const
{
    const SoundFontEntry& font = settings_.soundFonts[static_cast<size_t>(index)];
    const size_t slash = font.path.find_last_of("/\\");
    return std::to_string(font.bankOffset) + ": " + (slash == std::string::npos ? font.path : font.path.substr(slash + 1));
}

std::string SettingsEdit::BankOffsetProblem(const std::string& text)
{
    if (text.empty())
        return "Please specify bank offset.";
    int offset = 0;
    if (!ReadInt(text, offset) || offset < 0 || offset > 127)
        return "Bank offset must be between 0 and 127.";
    return {};
}

std::optional<EditedSettings> SettingsEdit::Confirm(IUserMessages& messages) const
{
    const size_t rankCount = settings_.ranks.size() - 1; // without the merged entry
    // 1. An external device has 16 channels.
    for (size_t r = 0; r < rankCount; ++r) {
        const RNKSETTINGS& rank = settings_.ranks[r];
        if (rank.deviceId < outputs_.size() && rank.channel > 15) {
            ShowWarning(messages,
                        "Please select '" + std::string(kFluidSynthName) +
                            "' device for ranks with channel value greater than 16",
                        kOutputCaption);
            return std::nullopt;
        }
    }
    // 2. The shoes' calibration.
    for (const Calibration& c : settings_.calibration)
        if (c.minimum > c.maximum) {
            ShowWarning(messages, "\"Closed\" value cannot be greater than \"Open\".", "Expression setup: warning!");
            return std::nullopt;
        }
    // 3. The piston sound.
    int pistonSound = -1;
    if (pistonSoundEnabled) {
        if (pistonSoundText.empty()) {
            ShowWarning(messages, "Please specify piston sound note", "Pistons setup: warning!");
            return std::nullopt;
        }
        if (!ReadInt(pistonSoundText, pistonSound) || pistonSound > 127 || pistonSound < 0) {
            ShowWarning(messages, "Piston sound note cannot be greater than 127", "Pistons setup: warning!");
            return std::nullopt;
        }
    }
    // 4. Ranks sharing a device and a channel: asked once.
    if (rankCount != 1) {
        bool shared = false;
        for (size_t a = 0; a < rankCount && !shared; ++a)
            for (size_t b = a + 1; b < rankCount && !shared; ++b)
                shared = settings_.ranks[a].deviceId == settings_.ranks[b].deviceId &&
                         settings_.ranks[a].channel == settings_.ranks[b].channel;
        if (shared && messages.Show({"Some of the ranks have identical output devices AND channels.\nThe organ may not sound properly!\nDo you want proceed with these settings?",
                                     kOutputCaption, MessageIcon::Warning, MessageButtons::YesNo,
                                     MessageAnswer::No}) != MessageAnswer::Yes)
            return std::nullopt;
    }
    // 5. The options typed in.
    auto integer = [&](const std::string& text, int low, int high, int& out) {
        if (ReadInt(text, out) && out >= low && out <= high)
            return true;
        ShowWarning(messages, "Please enter an integer between " + std::to_string(low) + " and " + std::to_string(high) + ".",
                    "Corvinta Settings");
        return false;
    };
    int threshold = 0, pizzicato = 0;
    if (!integer(swellThresholdText, 0, 127, threshold) || !integer(pizzicatoText, 50, 1000, pizzicato))
        return std::nullopt;

    EditedSettings e;
    e.settings = settings_;
    e.settings.console.pistonSound = pistonSound;
    e.settings.console.swellThreshold = static_cast<uint8_t>(threshold);
    e.settings.console.pizzicatoLength = pizzicato;
    e.volumeSteps = volumeSteps_;
    e.panSteps = panSteps_;
    e.velocityForPiano = velocityForPiano_;
    for (uint16_t id : active_)
        e.inputDevicesInUse.push_back(inputs_[id]);
    e.assignments.device = AssignmentMaps{};
    InstallDefaultAssignments(e.assignments.device);
    controls_.ToMaps(e.assignments.device);
    e.assignments.internal = AssignmentMaps{};
    InstallDefaultAssignments(e.assignments.internal);
    e.useDefaultAssignments = useDefaultAssignments;
    e.soundFontsChanged = soundFontsChanged_;
    return e;
}

} // namespace corvinta
