// The event processor: every MIDI-style event, from a device or from the
// file player, becomes key, stop, tremulant, shoe, piston or panic actions.

#include "organ/Console.h"

#include <algorithm>

namespace corvinta {

namespace {
const AssignmentMaps& DefaultMaps()
{
    static const AssignmentMaps maps = [] {
        AssignmentMaps m;
        InstallDefaultAssignments(m);
        return m;
    }();
    return maps;
}

uint8_t Calibrated(uint8_t value, const Calibration& c)
{
    if (value <= c.minimum)
        return 0;
    if (value >= c.maximum)
        return 127;
    return static_cast<uint8_t>((value - c.minimum) * 127 / (c.maximum - c.minimum));
}
} // namespace

void CConsole::ProcessEvent(uint32_t source, uint32_t message)
{
    std::lock_guard lock(stateMutex_);
    ProcessEventLocked(source, message);
}

void CConsole::ProcessEventLocked(uint32_t source, uint32_t message)
{
    const uint8_t status = message & 0xFF;
    const uint8_t data1 = (message >> 8) & 0x7F;
    const uint8_t data2 = (message >> 16) & 0x7F;
    const bool fromDevice = !MadeInsideTheProgram(source);
    const uint32_t key = fromDevice ? (SourceDevice(source) | (uint32_t(status & 0x0F) << 16)) : source;
    const AssignmentMaps& maps =
        fromDevice ? (useDefaultAssignments ? DefaultMaps() : assignments.device) : assignments.internal;
    const std::vector<uint8_t>* routes = RoutesFor(key);
    static const std::vector<uint8_t> kNoRoutes;
    if (!routes)
        routes = &kNoRoutes;

    switch (status & 0xF0) {
    case 0x80:
    case 0x90: {
        const uint8_t velocity = (status & 0xF0) == 0x80 ? 0 : data2;
        for (uint8_t e : *routes) {
            if (e == kControlEntry)
                continue;
            const DIVSETTINGS& ds = settings_.divisions[e];
            if (data1 < ds.lowNote || data1 > ds.highNote)
                continue;
            // The file player's notes are played as written.
            const int note = fromDevice ? data1 + ds.transpose : data1;
            if (note >= 0 && note <= 127) // a key transposed off the MIDI range has no note
                Division(e).DivisionKey(static_cast<uint8_t>(note), velocity);
        }
        break;
    }
    case 0xA0:
        for (uint8_t e : *routes) {
            if (e == kControlEntry || !Division(e).isSecondTouch)
                continue;
            const DIVSETTINGS& ds = settings_.divisions[e];
            if (data1 < ds.lowNote || data1 > ds.highNote)
                continue;
            // The pressure belongs to the manual's key: it is moved as that
            // manual moves its notes, so second touch sounds where first touch does.
            const int transpose = settings_.divisions[static_cast<size_t>(Division(e).firstTouchDivision)].transpose;
            const int note = fromDevice ? data1 + transpose : data1;
            if (note >= 0 && note <= 127)
                Division(e).KeyPressureSecondTouch(static_cast<uint8_t>(note), data2);
        }
        break;
    case 0xB0:
        if (data1 == 120 || (data1 == 123 && settings_.console.enableMidiPanic))
            PanicLocked();
        for (uint8_t e : *routes) {
            if (const auto* items = maps.controllers.ItemsFor(ControlCode(e, data1, data2)))
                for (uint32_t item : *items)
                    ControllerItem(item);
            if (const auto* items = maps.controllers.ItemsFor(ControlCode(e, data1, kAnyValue)))
                for (uint32_t item : *items)
                    if (KindOf(item) < kAuxControlCount)
                        ContinuousControl(KindOf(item), data2);
        }
        break;
    case 0xC0:
        for (uint8_t e : *routes)
            if (const auto* items = maps.programs.ItemsFor(ControlCode(e, data1, 0)))
                for (uint32_t item : *items)
                    ProgramItem(item);
        break;
    case 0xD0:
        for (uint8_t e : *routes)
            if (e != kControlEntry && Division(e).isSecondTouch)
                Division(e).ChannelPressureSecondTouch(data1, false);
        break;
    default: // pitch bend and system messages
        break;
    }
}

void CConsole::ControllerItem(uint32_t item)
{
    const uint8_t kind = KindOf(item);
    const int division = CodeByte(item, 2);
    const int index = CodeByte(item, 3);
    switch (kind) {
    case kItemStopOn:
    case kItemStopOff: {
        if (division >= DivisionCount() || index >= Division(division).stopCount)
            return;
        const bool on = kind == kItemStopOn;
        CStop& stop = Division(division).Stop(index);
        if (stop.type == StopKind::EffectStop) {
            Push(RequestType::EffectStop, division, index, on ? 1 : 0);
            display_->SetTabPressed(stop.item, on);
            return;
        }
        SetStop(division, index, on, true);
        registration.Set(stop.item, on);
        registrationChanged = true;
        break;
    }
    case kItemTremOn:
    case kItemTremOff:
        if (index < TremulantCount()) {
            SetTremulant(index, kind == kItemTremOn, true);
            registrationChanged = true;
        }
        break;
    default:
        break;
    }
}

void CConsole::ContinuousControl(int index, uint8_t value)
{
    if (index < 3)
        value = Calibrated(value, settings_.calibration[index]);
    switch (index) {
    case kSwellMain:
    case kSwellSolo:
        Swell(index, value);
        break;
    case kCrescendo:
        if (settings_.console.useCrescendo) {
            const int clamped = std::clamp<int>(value, 7, 122);
            if (clamped > crescendoStage_ * 5 + 11 || clamped < crescendoStage_ * 5 + 3)
                SetCrescendo(clamped);
        }
        break;
    case kMemoryLevel:
        if (value < 11 && settings_.console.bankSelectMemLevel)
            SelectMemoryLevel(value);
        break;
    default:
        break;
    }
}

void CConsole::ProgramItem(uint32_t item)
{
    if (KindOf(item) != kItemPiston)
        return;
    const int id = CodeByte(item, 3);
    const int levelOffset = CodeByte(item, 0);
    if (id < kFirstSpecialButtonId) {
        if (id < kPistonCount)
            OnCommandLocked(PistonCommand(levelOffset * kPistonCount + id), 0);
        return;
    }
    const int button = id - kFirstSpecialButtonId;
    if (button >= kSpecialButtonCount)
        return;
    // MAP, SET and MEM latch on screen; from MIDI each program change toggles them.
    switch (const int command = kSpecialButtons[size_t(button)].command) {
    case commands::kMap: SetLatched(LatchButton::Map, !Latched(LatchButton::Map)); break;
    case commands::kSet: SetLatched(LatchButton::Set, !Latched(LatchButton::Set)); break;
    case commands::kMem: SetLatched(LatchButton::Mem, !Latched(LatchButton::Mem)); break;
    default: OnCommandLocked(command, 0); break;
    }
}

} // namespace corvinta
