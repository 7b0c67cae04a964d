// The combination action: pistons recall, set and show their combinations,
// cancels clear divisions, "RES" goes back, and the crescendo pedal adds its
// stages on top of the hand registration.

#include "organ/Console.h"

#include <algorithm>

namespace corvinta {

namespace {
constexpr int kPedalTrapsItem = 84; // the cancels and the default scopes leave it alone
constexpr int kLatchItem[3] = {129, 130, 131};
} // namespace

void CConsole::SetLatched(LatchButton b, bool on)
{
    latched_[static_cast<size_t>(b)] = on;
    display_->SetTabChecked(kLatchItem[static_cast<int>(b)], on);
}

// The sound follows the hand registration plus the crescendo; the tab shows
// the hand registration only.
void CConsole::SetStop(int division, int index, bool drawn, bool updateButton)
{
    CDivision& d = Division(division);
    CStop& stop = d.Stop(index);
    if (stop.type == StopKind::EffectStop)
        return;
    d.SwitchStop(index, drawn || stop.crescendo, false);
    if (updateButton && drawn != stop.shown)
        display_->SetTabChecked(stop.item, drawn);
    stop.shown = drawn;
}

void CConsole::SetTremulant(int t, bool on, bool updateTab)
{
    Push(RequestType::Tremulant, 0, t, on ? 1 : 0);
    CTrem& trem = Trem(t);
    trem.sounding = on;
    registration.Set(trem.item, on);
    if (updateTab && trem.shown != on)
        display_->SetTabChecked(trem.item, on);
    trem.shown = on;
}

void CConsole::RecordRegistration()
{
    if (!registrationChanged)
        return;
    previousRegistration = registration;
    registrationChanged = false;
}

void CConsole::PistonSound()
{
    const int note = settings_.console.pistonSound;
    if (note < 0 || note > 127)
        return;
    Push(RequestType::RankNote, kTrapsRank, note, 0);
    Push(RequestType::RankNote, kTrapsRank, note, 127);
}

void CConsole::ApplyRegistration(const ItemSet& next)
{
    const ItemSet before = registration;
    for (auto& division : divisions_)
        for (int i = 0; i < division->stopCount; ++i) {
            const int item = division->firstStop + i;
            SetStop(division->number, i, next.Test(item), true);
            registration.Set(item, next.Test(item));
        }
    for (int t = 0; t < TremulantCount(); ++t) {
        const int item = TremulantItem(t);
        if (before.Test(item) != next.Test(item))
            SetTremulant(t, next.Test(item), true);
    }
}

void CConsole::SoundRegistration()
{
    std::lock_guard lock(stateMutex_);
    for (auto& division : divisions_)
        for (int i = 0; i < division->stopCount; ++i)
            SetStop(division->number, i, registration.Test(division->firstStop + i), true);
    for (int t = 0; t < TremulantCount(); ++t) {
        const bool on = registration.Test(TremulantItem(t));
        if (on != Trem(t).sounding)
            SetTremulant(t, on, true);
    }
}

void CConsole::FirePiston(int command)
{
    const int k = command - PistonCommand(0);
    int p = k;
    int level = settings_.console.memLevel;
    if (k >= kPistonCount) {
        level += k / kPistonCount;
        p = k % kPistonCount;
    }
    CPiston& piston = Piston(p);

    if (Latched(LatchButton::Mem)) {
        int chosen = p % 5 + (p > 9 ? 5 : 0);
        if (chosen > 11)
            chosen = 0;
        SelectMemoryLevel(chosen);
        SetLatched(LatchButton::Mem, false);
        return;
    }
    // Levels above 10 have no memory: a press that reaches one (a program
    // change with a level offset from a high level) is ignored.
    if (level > kCrescendoLevel)
        return;
    if (Latched(LatchButton::Set)) {
        if (Latched(LatchButton::Map))
            piston.scope[static_cast<size_t>(level)] = registration;
        else
            piston.drawn[static_cast<size_t>(level)] = registration;
        SetLatched(LatchButton::Set, false);
        return;
    }

    RecordRegistration();
    const ItemSet& drawn = piston.drawn[static_cast<size_t>(level)];
    const ItemSet& scope = piston.scope[static_cast<size_t>(level)];
    ItemSet next;
    if (Latched(LatchButton::Map))
        next = scope;
    else if (!scope.Empty())
        next = (drawn & scope) | (registration & ~scope);
    else
        next = ItemSet::FromWords32(registration.Word32(0) ^ drawn.Word32(0), registration.Word32(1) ^ drawn.Word32(1),
                                    registration.Word32(2) ^ drawn.Word32(2), registration.Word32(3) ^ drawn.Word32(3));
    PistonSound();
    ApplyRegistration(next);
    ReapplyCrescendo();
}

void CConsole::CancelDivision(int division)
{
    RecordRegistration();
    for (int d : {division, Division(division).secondTouchDivision})
        for (int i = 0; i < Division(d).stopCount; ++i) {
            const int item = Division(d).firstStop + i;
            if (item == kPedalTrapsItem)
                continue;
            SetStop(d, i, false, true);
            registration.Clear(item);
        }
    ReapplyCrescendo();
    PistonSound();
    RestoreFocus();
}

void CConsole::CancelTremulants()
{
    RecordRegistration();
    for (int t = 0; t < TremulantCount(); ++t)
        SetTremulant(t, false, true);
    ReapplyCrescendo();
    PistonSound();
    RestoreFocus();
}

void CConsole::GeneralCancel()
{
    RecordRegistration();
    for (auto& division : divisions_)
        for (int i = 0; i < division->stopCount; ++i) {
            const int item = division->firstStop + i;
            if (item == kPedalTrapsItem)
                continue;
            SetStop(division->number, i, false, true);
            registration.Clear(item);
        }
    CancelTremulants();
}

// "RES" brings back the registration from before the last piston or cancel;
// it does not record first, or it would bring back the present one.
void CConsole::Restore()
{
    if (Latched(LatchButton::Mem)) {
        int level = previousMemLevel_;
        if (level > 11)
            level = 0;
        SelectMemoryLevel(level);
        SetLatched(LatchButton::Mem, false);
        return;
    }
    ApplyRegistration(previousRegistration);
    ReapplyCrescendo();
    PistonSound();
    RestoreFocus();
}

void CConsole::Swell(int shoe, uint8_t value)
{
    swell_[static_cast<size_t>(shoe)] = value;
    if (!settings_.console.useSingleSwell) {
        Push(RequestType::Expression, shoe, value, 0);
        display_->ShoeMoved(shoe, value);
        return;
    }
    for (int s : {0, 1}) {
        swell_[static_cast<size_t>(s)] = value;
        Push(RequestType::Expression, s, value, 0);
        display_->ShoeMoved(s, value);
    }
}

void CConsole::SetCrescendo(int value)
{
    crescendoStage_ = std::clamp((value - 7) / 5, 0, kPistonCount);
    display_->ShoeMoved(kCrescendo, crescendoStage_);
    crescendoSet_ = crescendoStage_ == 0 ? ItemSet{} : Piston(crescendoStage_ - 1).drawn[kCrescendoLevel];
    for (auto& division : divisions_)
        for (int i = 0; i < division->stopCount; ++i) {
            CStop& stop = division->Stop(i);
            stop.crescendo = crescendoSet_.Test(stop.item);
            SetStop(division->number, i, stop.shown, false);
        }
}

void CConsole::ReapplyCrescendo()
{
    if (crescendoStage_ != 0)
        SetCrescendo(crescendoStage_ * 5 + 7);
}

void CConsole::SelectMemoryLevel(int level)
{
    display_->MemoryLevelChanged(level);
    previousMemLevel_ = settings_.console.memLevel;
    settings_.console.memLevel = static_cast<uint8_t>(level);
}

} // namespace corvinta
