// Console commands from the controls: tabs, pistons, buttons, keyboards, and
// the panic.

#include "organ/Console.h"

#include <algorithm>

namespace corvinta {

void CConsole::OnCommand(int command, int argument)
{
    {
        std::lock_guard lock(stateMutex_);
        OnCommandLocked(command, argument);
    }
    RestoreFocus();
}

void CConsole::OnCommandLocked(int command, int argument)
{
    if (command >= commands::kFirstMemoryLevel && command < commands::kFirstMemoryLevel + kMemoryLevelCount) {
        SelectMemoryLevel(command - commands::kFirstMemoryLevel);
    } else if (command >= commands::kFirstMemoryLevel + kMemoryLevelCount && command <= commands::kLastMemoryLevelAlias) {
        SelectMemoryLevel(0);
    } else if (command >= corvinta::StopTabCommand(0) && command < corvinta::StopTabCommand(kStopCount)) {
        StopTab(command - corvinta::StopTabCommand(0), argument != 0);
    } else if (command >= TremulantTabCommand(0) && command < TremulantTabCommand(kTremulantCount)) {
        const int t = command - TremulantTabCommand(0);
        SetTremulant(t, argument != 0, false);
        registrationChanged = true;
    } else if (command >= PistonCommand(0) && command < PistonCommand(kPistonCount * kPistonLevelOffsets)) {
        // Up to 21214: a program change fires piston p at level offset k as p + 23 k.
        FirePiston(command);
    } else {
        switch (command) {
        case commands::kGeneralCancel: GeneralCancel(); break;
        case commands::kMap: SetLatched(LatchButton::Map, argument != 0); break;
        case commands::kSet: SetLatched(LatchButton::Set, argument != 0); break;
        case commands::kMem: SetLatched(LatchButton::Mem, argument != 0); break;
        case commands::kRestore: Restore(); break;
        case commands::kTremulantCancel: CancelTremulants(); break;
        case commands::kSoloCancel: CancelDivision(0); break;
        case commands::kAccompanimentCancel: CancelDivision(2); break;
        case commands::kPedalCancel: CancelDivision(4); break;
        default: break; // the player's buttons and the menu are the window's
        }
    }
}

void CConsole::StopTab(int item, bool state)
{
    const int d = DivisionOfStop(item);
    const int index = item - Division(d).firstStop;
    if (Division(d).Stop(index).type == StopKind::EffectStop)
        return;
    SetStop(d, index, state, false);
    registration.Set(item, state);
    registrationChanged = true;
}

void CConsole::EffectTab(int item, bool pressed)
{
    if (item < 0 || item >= kStopCount)
        return;
    std::lock_guard lock(stateMutex_);
    const int d = DivisionOfStop(item);
    const int index = item - Division(d).firstStop;
    if (Division(d).Stop(index).type == StopKind::EffectStop)
        Push(RequestType::EffectStop, d, index, pressed ? 127 : 0);
}

void CConsole::PlayKey(int division, int note, bool on, bool useSecondTouch)
{
    if (division < 0 || division >= DivisionCount() || note < 0 || note > 127)
        return;
    std::lock_guard lock(stateMutex_);
    const int d = useSecondTouch ? Division(division).secondTouchDivision : division;
    Division(d).DivisionKey(static_cast<uint8_t>(note), on ? 127 : 0, false, true);
}

void CConsole::ShoeFromScreen(int shoe, int position)
{
    {
        std::lock_guard lock(stateMutex_);
        if (shoe == kCrescendo)
            SetCrescendo(std::clamp(position, 0, kPistonCount) * 5 + 7);
        else if (shoe >= 0 && shoe < kCrescendo)
            Swell(shoe, static_cast<uint8_t>(std::clamp(position, 0, 127)));
    }
    RestoreFocus();
}

void CConsole::RestoreFocus()
{
    display_->RestoreFocus();
}

void CConsole::Panic()
{
    std::lock_guard lock(stateMutex_);
    PanicLocked();
}

void CConsole::PanicLocked()
{
    PauseInputLocked();
    ResumeInputLocked();
    RestoreFocus();
}

void CConsole::PauseInput()
{
    std::lock_guard lock(stateMutex_);
    PauseInputLocked();
}

void CConsole::ResumeInput()
{
    std::lock_guard lock(stateMutex_);
    ResumeInputLocked();
}

void CConsole::PauseInputLocked()
{
    if (inputs_) {
        inputs_->SetInputEnabled(false);
        inputs_->StopAll();
    }
    if (output_) {
        output_->AllNotesOff();
        output_->SetHold(true);
    }
    for (auto& division : divisions_) {
        for (auto& key : division->keyboard.pressed)
            key.store(0, std::memory_order_relaxed);
        for (auto& state : division->keyStates)
            state.store(0);
        division->secondTouchLevel.store(0);
    }
    display_->KeyboardsCleared();
}

void CConsole::ResumeInputLocked()
{
    if (inputs_)
        inputs_->StartAll();
    if (output_)
        output_->SetHold(false);
    if (inputs_)
        inputs_->SetInputEnabled(true);
}

void CConsole::ResendShoesAndTremulants()
{
    std::lock_guard lock(stateMutex_);
    for (int shoe : {0, 1}) {
        // One shoe moving both swells would send the first's position twice.
        if (settings_.console.useSingleSwell && shoe == 1)
            break;
        Swell(shoe, swell_[static_cast<size_t>(shoe)]);
    }
    ReapplyCrescendo();
    for (int t = 0; t < TremulantCount(); ++t) {
        const bool on = Trem(t).shown;
        Push(RequestType::Tremulant, 0, t, on ? 1 : 0);
        Trem(t).sounding = on;
        registration.Set(Trem(t).item, on);
    }
    registrationChanged = true;
}

void CConsole::InstallCombinations(const std::vector<PistonMemory>& memory)
{
    std::lock_guard lock(stateMutex_);
    for (int p = 0; p < PistonCount() && p < static_cast<int>(memory.size()); ++p) {
        Piston(p).drawn = memory[static_cast<size_t>(p)].drawn;
        Piston(p).scope = memory[static_cast<size_t>(p)].scope;
    }
}

void CConsole::ChangeCombinations(const std::function<void()>& change)
{
    std::lock_guard lock(stateMutex_);
    change();
}

} // namespace corvinta
