// Rank voicing: which ranks sound which notes for every key, stop, coupler,
// tremulant and shoe change. Runs on the output worker only.

#include "engine/OutputEngine.h"
#include "organ/Console.h"

#include <algorithm>
#include <fluidsynth.h>

namespace corvinta {

namespace {

bool ValidDivision(const OutputEngine& e, int d) { return d >= 0 && d < e.DivisionCount(); }

uint8_t ChannelNibble(const RNKSETTINGS& s) { return static_cast<uint8_t>(s.channel & 0x0F); }

} // namespace

void OutputEngine::RankSend(int rank, uint32_t m)
{
    if (rank < 0 || rank >= RankCount())
        return;
    const CRank& r = *ranks_[static_cast<size_t>(rank)];
    const RNKSETTINGS& settings = console_.RankSettings()[static_cast<size_t>(rank)];
    const uint8_t status = StatusOf(m);
    const uint8_t data1 = Data1Of(m);
    const uint8_t data2 = Data2Of(m);

    if (r.outputSlot == kNoDevice) {
        fluid_synth_t* synth = synth_ ? synth_->Synth() : nullptr;
        const int channel = settings.channel;
        if (!synth || channel < 0 || channel >= kSynthChannelCount)
            return;
        // The drum channel keeps FluidSynth's percussion bank and kit.
        const bool drums = channel == 9;
        switch (status & 0xF0) {
        case 0x80: fluid_synth_noteoff(synth, channel, data1); break;
        case 0x90: fluid_synth_noteon(synth, channel, data1, data2); break;
        case 0xB0:
            if (data1 != 0)
                fluid_synth_cc(synth, channel, data1, data2);
            else if (drums)
                return;
            else
                fluid_synth_bank_select(synth, channel, data2);
            break;
        case 0xC0:
            if (drums)
                return;
            fluid_synth_program_change(synth, channel, data1);
            break;
        default: return;
        }
        if (observer_)
            observer_->RankSent(rank, kNoDevice, m);
        return;
    }
    // A device that is away (unplugged, switched off) takes nothing meanwhile.
    if (r.outputSlot < 0 || r.outputSlot >= static_cast<int>(outputs_.size()) || !outputs_[static_cast<size_t>(r.outputSlot)])
        return;
    outputs_[static_cast<size_t>(r.outputSlot)]->Send(m);
    if (observer_)
        observer_->RankSent(rank, outputDevice_[static_cast<size_t>(r.outputSlot)], m);
}

void OutputEngine::RankNoteCounted(int rank, int note, uint8_t velocity)
{
    // Stops and couplers can carry a key past either end of MIDI's range.
    if (note < 0 || note >= 128 || rank < 0 || rank >= RankCount())
        return;
    CRank& r = *ranks_[static_cast<size_t>(rank)];
    int8_t& count = r.noteCounts[static_cast<size_t>(note)];
    // Most calls only move a count: a unit organ reaches each pipe from many
    // stops and couplers, and only the first and last of them sound it.
    auto status = [&] {
        return static_cast<uint8_t>(0x90 | ChannelNibble(console_.RankSettings()[static_cast<size_t>(rank)]));
    };
    if (velocity > 0) {
        if (count == 0) {
            const uint8_t mask = r.chamber == kChamberPiano ? console_.Settings().console.velocityMask : 0xFF;
            const uint8_t sent = static_cast<uint8_t>((velocity & ~mask) | (0x7F & mask));
            RankSend(rank, ShortMessage(status(), static_cast<uint8_t>(note), sent));
        }
        if (count < 127)
            ++count;
    } else {
        if (count == 1)
            RankSend(rank, ShortMessage(status(), static_cast<uint8_t>(note), 0));
        if (count > 0)
            --count;
    }
}

void OutputEngine::RetriggerRank(int rank)
{
    if (rank < 0 || rank >= RankCount())
        return;
    const CRank& r = *ranks_[static_cast<size_t>(rank)];
    const uint8_t status =
        static_cast<uint8_t>(0x90 | ChannelNibble(console_.RankSettings()[static_cast<size_t>(rank)]));
    for (int n = 0; n < 128; ++n) {
        if (r.noteCounts[static_cast<size_t>(n)] <= 0)
            continue;
        RankSend(rank, ShortMessage(status, static_cast<uint8_t>(n), 0));
        RankSend(rank, ShortMessage(status, static_cast<uint8_t>(n), 127));
    }
}

// Every pipe that a key of `source`, through `coupler`, sounds on one stop of
// `stopDivision`. The key, stop and coupler handlers all go through here, so
// whatever one of them sounds another can always silence.
template <class Sound>
void OutputEngine::ForEachPipe(int source, const Coupler& coupler, int stopDivision, int stopIndex, int key, Sound sound)
{
    CDivision& division = console_.Division(stopDivision);
    if (stopIndex < 0 || stopIndex >= division.stopCount)
        return;
    const CStop& stop = division.Stop(stopIndex);
    int note;
    if (stop.type == StopKind::FixedNoteStop) {
        // A traps stop reached through another division sounds only from
        // that division's own second touch (the pedal's traps).
        if (stopDivision != source && stopDivision != console_.Division(source).secondTouchDivision)
            return;
        note = stop.pitch;
    } else {
        note = stop.pitch + key + coupler.transposition;
    }
    for (int j = 0; j < stop.ranks; ++j)
        sound(stop.EffectiveRank() + j, note);
}

void OutputEngine::KeyHandler(OutputEngine& e, const OutputRequest& r)
{
    const int d = r.a;
    if (!ValidDivision(e, d) || r.b < 0 || r.b > 127)
        return;
    const auto note = static_cast<uint16_t>(r.b);
    const uint8_t velocity = r.c;

    std::vector<uint16_t>& held = e.HeldKeys(d);
    bool keyDown = true;
    auto it = std::find_if(held.begin(), held.end(), [&](uint16_t k) { return (k & 0xFF) == note; });
    if (it != held.end()) {
        const int count = (*it >> 8) + (velocity > 0 ? 1 : -1);
        if (count <= 0)
            held.erase(it);
        else
            *it = static_cast<uint16_t>(note | (std::min(count, 255) << 8));
    } else if (velocity > 0) {
        held.push_back(static_cast<uint16_t>(note | (1 << 8)));
    } else {
        // A key that is not down (its press found a ring full, or a panic
        // came between): counting its pipes down would cut the ones other
        // keys hold. Its echo still goes out, so a take never keeps a note
        // that does not end.
        keyDown = false;
    }

    CDivision& division = e.console_.Division(d);
    for (int t = 0; keyDown && t < e.DivisionCount(); ++t) {
        for (const Coupler* c : e.Couplers(d, t)) {
            const int stopDivision = c->stop < 0 ? d : division.Stop(c->stop).rank;
            if (!ValidDivision(e, stopDivision))
                continue;
            for (uint32_t s : e.ActiveStops(stopDivision))
                e.ForEachPipe(d, *c, stopDivision, static_cast<int>(s), note,
                              [&](int rank, int n) { e.RankNoteCounted(rank, n, velocity); });
        }
    }

    uint32_t message = ShortMessage(static_cast<uint8_t>(0x90 | kDivisionOutputChannel[d]), static_cast<uint8_t>(note), velocity);
    if (IRecorderSink* recorder = e.recorder_.load(); recorder && e.Recording())
        recorder->Record(message);
    if (!e.console_.Settings().console.mergedOutChannelMode) {
        const auto inputChannel = static_cast<uint8_t>(e.console_.DivSettings()[static_cast<size_t>(d)].channel & 0x0F);
        message = (message & ~0x0Fu) | inputChannel;
    }
    e.SendToMerged(message);
}

void OutputEngine::StopHandler(OutputEngine& e, const OutputRequest& r)
{
    const int d = r.a;
    const int s = r.b;
    if (!ValidDivision(e, d) || s < 0 || s >= e.console_.Division(d).stopCount)
        return;
    const bool on = r.c != 0;
    std::vector<uint32_t>& active = e.ActiveStops(d);
    auto it = std::find(active.begin(), active.end(), static_cast<uint32_t>(s));
    if (on && it == active.end())
        active.push_back(static_cast<uint32_t>(s));
    else if (!on && it != active.end())
        active.erase(it);
    else
        return; // already in that state: sounding it again would unbalance the note counts

    const CStop& stop = e.console_.Division(d).Stop(s);
    if (stop.type == StopKind::PatchSwitchStop) {
        const int rank = stop.EffectiveRank();
        // Tabs on several divisions can switch one rank: it changes patch
        // only with the first tab drawn and the last one cancelled.
        if (rank >= 0 && rank < e.RankCount() && !e.OtherPatchSwitchDrawn(d, s, rank)) {
            const RNKSETTINGS& rs = e.console_.RankSettings()[static_cast<size_t>(rank)];
            e.RankSend(rank, ShortMessage(static_cast<uint8_t>(0xC0 | ChannelNibble(rs)),
                                          static_cast<uint8_t>(on ? rs.patch2 : rs.patch1)));
            e.RetriggerRank(rank);
        }
    }

    for (int k = 0; k < e.DivisionCount(); ++k)
        for (const Coupler* c : e.Couplers(k, d))
            for (uint16_t key : e.HeldKeys(k))
                e.ForEachPipe(k, *c, d, s, key & 0xFF, [&](int rank, int n) { e.RankNoteCounted(rank, n, r.c); });

    e.EchoControl(stop.control, on);
}

bool OutputEngine::OtherPatchSwitchDrawn(int division, int stopIndex, int rank)
{
    for (int d = 0; d < DivisionCount(); ++d)
        for (uint32_t s : ActiveStops(d)) {
            if (d == division && static_cast<int>(s) == stopIndex)
                continue;
            const CStop& other = console_.Division(d).Stop(static_cast<int>(s));
            if (other.type == StopKind::PatchSwitchStop && other.EffectiveRank() == rank)
                return true;
        }
    return false;
}

void OutputEngine::CouplerHandler(OutputEngine& e, const OutputRequest& r)
{
    const int d = r.a;
    const int s = r.b;
    if (!ValidDivision(e, d) || s < 0 || s >= e.console_.Division(d).stopCount)
        return;
    const bool on = r.c != 0;
    const CStop& stop = e.console_.Division(d).Stop(s);
    const int t = stop.rank;
    if (!ValidDivision(e, t))
        return;

    std::vector<Coupler*>& list = e.Couplers(d, t);
    auto it = std::find_if(list.begin(), list.end(), [&](const Coupler* c) { return c->stop == s; });
    Coupler* coupler;
    if (!on) {
        if (it == list.end())
            return;
        coupler = *it;
        list.erase(it);
    } else {
        if (it != list.end())
            return; // already coupled
        const bool unison = d == t && s == e.console_.Division(d).unisonOffStop;
        coupler = e.couplerPool_[static_cast<size_t>(unison ? kStopCount + d : e.console_.Division(d).firstStop + s)].get();
        coupler->stop = s;
        coupler->transposition = stop.pitch;
        list.push_back(coupler);
    }

    if (stop.type != StopKind::QuietCouplerStop)
        for (uint16_t key : e.HeldKeys(d))
            for (uint32_t active : e.ActiveStops(t))
                e.ForEachPipe(d, *coupler, t, static_cast<int>(active), key & 0xFF,
                              [&](int rank, int n) { e.RankNoteCounted(rank, n, r.c); });

    e.EchoControl(stop.control, on);
}

void OutputEngine::TremulantHandler(OutputEngine& e, const OutputRequest& r)
{
    const int t = r.b;
    if (t < 0 || t >= e.console_.TremulantCount())
        return;
    const bool on = r.c != 0;
    e.tremulantsOn_.set(static_cast<size_t>(t), on);
    const CTrem& trem = e.console_.Trem(t);
    const uint32_t mask = trem.rankMask;
    const bool damper = (mask & 0x80000000u) != 0;
    const bool modulation = e.console_.Settings().console.tremoloMethod ==
                            static_cast<uint8_t>(TremoloMethod::ModulationController);
    for (int rank = 0; rank < e.RankCount(); ++rank) {
        if (!(mask & (1u << rank)))
            continue;
        const RNKSETTINGS& rs = e.console_.RankSettings()[static_cast<size_t>(rank)];
        const auto cc = static_cast<uint8_t>(0xB0 | ChannelNibble(rs));
        if (damper) {
            e.RankSend(rank, ShortMessage(cc, 64, on ? 0 : 127));
        } else if (modulation) {
            e.RankSend(rank, ShortMessage(cc, 1, on ? static_cast<uint8_t>(rs.modulationDepth) : 0));
        } else if (rs.patch1 != rs.patch2) {
            e.RankSend(rank, ShortMessage(static_cast<uint8_t>(0xC0 | ChannelNibble(rs)),
                                          static_cast<uint8_t>(on ? rs.patch2 : rs.patch1)));
            e.RetriggerRank(rank);
        }
    }
    e.EchoControl(trem.control, on);
}

void OutputEngine::EffectStopHandler(OutputEngine& e, const OutputRequest& r)
{
    const int d = r.a;
    const int s = r.b;
    if (!ValidDivision(e, d) || s < 0 || s >= e.console_.Division(d).stopCount)
        return;
    const bool on = r.c != 0;
    const CStop& stop = e.console_.Division(d).Stop(s);
    e.RankNoteCounted(stop.EffectiveRank(), stop.pitch, r.c);
    e.EchoControl(stop.control, on);
}

void OutputEngine::ExpressionHandler(OutputEngine& e, const OutputRequest& r)
{
    const int shoe = r.a;
    if (shoe < 0 || shoe > 1)
        return;
    const int position = std::clamp(r.b, 0, 127);
    const int minimum = e.MinimumExpression(shoe);
    const auto level = static_cast<uint8_t>(minimum + ((127 - minimum) * position) / 127);
    e.expressionLevel_[static_cast<size_t>(shoe)] = level;
    const bool pianoFollowsMain = e.console_.Settings().console.velocityMask == 0xFF && shoe == 0;
    for (int rank = 0; rank < e.RankCount(); ++rank) {
        const uint8_t chamber = e.ranks_[static_cast<size_t>(rank)]->chamber;
        if (chamber != shoe && !(chamber == kChamberPiano && pianoFollowsMain))
            continue;
        const RNKSETTINGS& rs = e.console_.RankSettings()[static_cast<size_t>(rank)];
        e.RankSend(rank, ShortMessage(static_cast<uint8_t>(0xB0 | ChannelNibble(rs)), 11, level));
    }
    const CAuxControl& control = e.console_.AuxControls()[static_cast<size_t>(shoe)];
    e.EchoConsoleMessage(ShortMessage(static_cast<uint8_t>(0xB0 | (control.channel & 0x0F)), control.controller,
                                      static_cast<uint8_t>(position)));
}

void OutputEngine::RankNoteHandler(OutputEngine& e, const OutputRequest& r)
{
    if (r.a < 0 || r.a >= kRankCount) // the merged output is not a sounding rank
        return;
    e.RankNoteCounted(r.a, r.b, r.c);
}

void OutputEngine::EchoControl(const ControlAssignment& a, bool on)
{
    // An item with no message assigned for this change echoes nothing.
    if (!(on ? a.assignedOn : a.assignedOff))
        return;
    EchoConsoleMessage(ShortMessage(static_cast<uint8_t>(0xB0 | ((on ? a.channelOn : a.channelOff) & 0x0F)),
                                    on ? a.controllerOn : a.controllerOff, on ? a.valueOn : a.valueOff));
}

void OutputEngine::EchoConsoleMessage(uint32_t message)
{
    if (IRecorderSink* recorder = recorder_.load(); recorder && Recording())
        recorder->Record(message);
    SendToMerged(message);
}

void OutputEngine::SendToMerged(uint32_t message)
{
    if (!console_.Settings().console.mergedOutEnabled)
        return;
    const int slot = ranks_[kMergedOutIndex]->outputSlot;
    if (slot < 0 || slot >= static_cast<int>(outputs_.size()) || !outputs_[static_cast<size_t>(slot)])
        return;
    outputs_[static_cast<size_t>(slot)]->Send(message);
    // The log shows the merged output's copy as the merged rank's message.
    if (observer_)
        observer_->RankSent(kMergedOutIndex, outputDevice_[static_cast<size_t>(slot)], message);
}

} // namespace corvinta
