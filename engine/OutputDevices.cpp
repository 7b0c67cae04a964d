// The engine's MIDI output devices and the operations that reset what sounds:
// opening and closing outputs, panic, and the ranks' initial voices.

#include "engine/OutputEngine.h"
#include "organ/Console.h"

#include <fluidsynth.h>

namespace corvinta {

namespace {
// A rank whose device failed to open sends nowhere rather than to whichever
// device happens to hold its old slot.
constexpr int kNoOutput = -1;
} // namespace

void OutputEngine::OpenOutputs()
{
    std::lock_guard lock(handlerMutex_);
    OpenOutputsLocal();
}

void OutputEngine::CloseOutputs()
{
    std::lock_guard lock(handlerMutex_);
    CloseOutputsLocal();
}

void OutputEngine::AllNotesOff()
{
    std::lock_guard lock(handlerMutex_);
    notesOff_.fetch_add(1);
    AllNotesOffLocal();
}

void OutputEngine::SetupRankVoices()
{
    std::lock_guard lock(handlerMutex_);
    SetupRankVoicesLocal();
}

void OutputEngine::OpenOutputsLocal()
{
    const bool merged = console_.Settings().console.mergedOutEnabled;
    if (!merged)
        ranks_[kMergedOutIndex]->outputSlot = kNoDevice;
    const unsigned deviceCount = midi_ ? static_cast<unsigned>(midi_->OutputNames().size()) : 0;
    const std::vector<RNKSETTINGS>& settings = console_.RankSettings();

    for (int r = 0; r < RankCount(); ++r) {
        CRank& rank = *ranks_[static_cast<size_t>(r)];
        const uint16_t device = settings[static_cast<size_t>(r)].deviceId;
        int shared = -1;
        for (int earlier = 0; earlier < r; ++earlier)
            if (settings[static_cast<size_t>(earlier)].deviceId == device) {
                shared = earlier;
                break;
            }
        if (shared >= 0) {
            // One handle per device; a disabled merged output never takes one.
            if (r != kMergedOutIndex || merged)
                rank.outputSlot = ranks_[static_cast<size_t>(shared)]->outputSlot;
            continue;
        }
        if (device >= deviceCount) {
            rank.outputSlot = kNoDevice;
            continue;
        }
        if (r == kMergedOutIndex && !merged)
            continue;
        std::string error;
        std::unique_ptr<IMidiOutputPort> port = midi_->OpenOutput(device, error);
        if (!port) {
            ReportOutputError(error, device);
            rank.outputSlot = kNoOutput;
            continue;
        }
        outputs_.push_back(std::move(port));
        outputDevice_.push_back(device);
        rank.outputSlot = static_cast<int>(outputs_.size()) - 1;
    }
}

void OutputEngine::CloseOutputsLocal()
{
    for (size_t i = 0; i < outputs_.size(); ++i) {
        if (!outputs_[i])
            continue; // away: closed when it went
        outputs_[i]->Reset();
        std::string error;
        const bool closed = outputs_[i]->Close(error);
        int lastDevice = outputDevice_[i];
        for (auto& rank : ranks_)
            if (rank->outputSlot == static_cast<int>(i))
                rank->outputSlot = 0;
        if (!closed)
            ReportOutputError(error, lastDevice);
    }
    outputs_.clear();
    outputDevice_.clear();
}

void OutputEngine::AllNotesOffLocal()
{
    for (auto& port : outputs_)
        for (uint8_t ch = 0; port && ch < 16; ++ch)
            port->Send(ShortMessage(static_cast<uint8_t>(0xB0 | ch), 123, 0));
    fluid_synth_t* synth = synth_ ? synth_->Synth() : nullptr;
    for (int r = 0; r < RankCount(); ++r) {
        const int channel = console_.RankSettings()[static_cast<size_t>(r)].channel;
        if (synth && channel >= 0 && channel < kSynthChannelCount)
            for (int n = 0; n < 128; ++n)
                fluid_synth_noteoff(synth, channel, n);
        ranks_[static_cast<size_t>(r)]->noteCounts.fill(0);
    }
    for (auto& held : heldKeys_)
        held.clear();
}

void OutputEngine::SetupRankVoicesLocal()
{
    for (int r = 0; r < kRankCount; ++r)
        SetupRankVoiceLocal(r, console_.RankSettings()[static_cast<size_t>(r)].patch1);
}

void OutputEngine::SetupRankVoiceLocal(int r, int program)
{
    const RNKSETTINGS& rs = console_.RankSettings()[static_cast<size_t>(r)];
    const auto cc = static_cast<uint8_t>(0xB0 | (rs.channel & 0x0F));
    RankSend(r, ShortMessage(cc, 0, static_cast<uint8_t>(rs.bank)));
    RankSend(r, ShortMessage(cc, 7, static_cast<uint8_t>(rs.volume)));
    RankSend(r, ShortMessage(cc, 10, static_cast<uint8_t>(rs.pan)));
    RankSend(r, ShortMessage(static_cast<uint8_t>(0xC0 | (rs.channel & 0x0F)), static_cast<uint8_t>(program)));
}

int OutputEngine::OutputSlotOf(int deviceId) const
{
    for (size_t i = 0; i < outputDevice_.size(); ++i)
        if (outputDevice_[i] == deviceId)
            return static_cast<int>(i);
    return -1;
}

bool OutputEngine::OutputGone(int deviceId)
{
    std::unique_ptr<IMidiOutputPort> port;
    {
        std::lock_guard lock(handlerMutex_);
        const int slot = OutputSlotOf(deviceId);
        if (slot < 0)
            return false;
        port = std::move(outputs_[static_cast<size_t>(slot)]);
    }
    if (!port)
        return false;
    // Nothing is reset: there is nothing there to hear it.
    std::string ignored;
    port->Close(ignored);
    return true;
}

bool OutputEngine::OutputBack(int deviceId, std::string& error)
{
    {
        std::lock_guard lock(handlerMutex_);
        const int slot = OutputSlotOf(deviceId);
        if (slot < 0 || outputs_[static_cast<size_t>(slot)])
            return false; // not one the ranks use, or never went
    }
    // Opened outside the lock: the worker plays on while the device answers.
    std::unique_ptr<IMidiOutputPort> port = midi_ ? midi_->OpenOutput(static_cast<unsigned>(deviceId), error) : nullptr;
    if (!port)
        return false;
    std::lock_guard lock(handlerMutex_);
    const int slot = OutputSlotOf(deviceId);
    outputs_[static_cast<size_t>(slot)] = std::move(port);
    RevoiceRanksLocal(slot);
    return true;
}

// A device that comes back has forgotten everything: each of its ranks gets
// its voice, the expression its shoe stands at and the tremulants that are
// on, before any note reaches it.
void OutputEngine::RevoiceRanksLocal(int slot)
{
    const bool modulation =
        console_.Settings().console.tremoloMethod == static_cast<uint8_t>(TremoloMethod::ModulationController);
    for (int r = 0; r < kRankCount; ++r) {
        if (ranks_[static_cast<size_t>(r)]->outputSlot != slot)
            continue;
        const RNKSETTINGS& rs = console_.RankSettings()[static_cast<size_t>(r)];
        const auto cc = static_cast<uint8_t>(0xB0 | (rs.channel & 0x0F));
        bool damped = false;
        bool modulated = false;
        bool patchSwitched = false;
        for (int t = 0; t < console_.TremulantCount(); ++t) {
            const uint32_t mask = console_.Trem(t).rankMask;
            if (!tremulantsOn_.test(static_cast<size_t>(t)) || !(mask & (1u << r)))
                continue;
            if (mask & 0x80000000u)
                damped = true;
            else if (modulation)
                modulated = true;
            else
                patchSwitched = rs.patch1 != rs.patch2;
        }
        SetupRankVoiceLocal(r, patchSwitched ? rs.patch2 : rs.patch1);
        const uint8_t chamber = ranks_[static_cast<size_t>(r)]->chamber;
        const bool pianoFollowsMain = console_.Settings().console.velocityMask == 0xFF;
        if (chamber == kChamberMain || chamber == kChamberSolo)
            RankSend(r, ShortMessage(cc, 11, expressionLevel_[chamber]));
        else if (chamber == kChamberPiano && pianoFollowsMain)
            RankSend(r, ShortMessage(cc, 11, expressionLevel_[kChamberMain]));
        if (damped)
            RankSend(r, ShortMessage(cc, 64, 0));
        if (modulated)
            RankSend(r, ShortMessage(cc, 1, static_cast<uint8_t>(rs.modulationDepth)));
    }
}

void OutputEngine::ReportOutputError(const std::string& error, int deviceId)
{
    std::string name = "MIDI output";
    if (midi_ && deviceId >= 0 && deviceId < static_cast<int>(midi_->OutputNames().size()))
        name = midi_->OutputNames()[static_cast<size_t>(deviceId)];
    ShowError(console_.Messages(), name + ": " + error.substr(0, 256), "Corvinta Error");
}

} // namespace corvinta
