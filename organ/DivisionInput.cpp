// Key and stop input of a division: console events become output requests.
// Runs on the MIDI input worker or the UI thread; only pushes and shows.

#include "organ/Console.h"
#include "organ/Division.h"

namespace corvinta {

namespace {
constexpr uint8_t kMethodOwnInput = 0;       // "Note": played from its own input
constexpr uint8_t kMethodKeyPressure = 1;    // "Key"
constexpr uint8_t kMethodChannelPressure = 2; // "Chan"
} // namespace

void CDivision::ShowKey(int division, uint8_t note, bool pressed)
{
    CDivision& shownOn = console.Division(division);
    KeyboardDisplay& kb = shownOn.keyboard;
    const int key = int(note) - kb.lowestNote;
    if (key < 0 || key >= kb.keyCount)
        return;
    kb.pressed[static_cast<size_t>(key)].store(pressed ? 1 : 0, std::memory_order_relaxed);
    console.Display().KeyChanged(division, key, pressed);
}

void CDivision::DivisionKey(uint8_t note, uint8_t velocity, bool show, bool direct)
{
    note &= 0x7F;
    const DIVSETTINGS& own = console.DivSettings()[static_cast<size_t>(number)];

    if (isSecondTouch) {
        if (direct) {
            console.Push(RequestType::KeyNote, number, note, velocity);
            return;
        }
        if (own.secondTouchMethod != kMethodOwnInput)
            return;
        console.Push(RequestType::KeyNote, number, note, velocity);
        if (show)
            ShowKey(firstTouchDivision, note, velocity > 0);
        return;
    }

    console.Push(RequestType::KeyNote, number, note, velocity);
    if (show)
        ShowKey(number, note, velocity > 0);

    const int t = secondTouchDivision;
    if (t == number)
        return;
    CDivision& second = console.Division(t);
    const uint8_t secondMethod = console.DivSettings()[static_cast<size_t>(t)].secondTouchMethod;
    // Key pressure need not fall back before the key comes up (many keyboards
    // and files never send it): the key's release ends its second touch.
    if (secondMethod == kMethodKeyPressure && velocity == 0 && !direct) {
        if (second.keyStates[note].exchange(0) & kKeyLevelMask)
            console.Push(RequestType::KeyNote, t, note, 0);
        return;
    }
    // Either side's setting asks for channel-pressure second touch: the manual
    // must then track its held keys for the second-touch division.
    const bool tracked = own.secondTouchMethod == kMethodChannelPressure ||
                         secondMethod == kMethodChannelPressure;
    if (!tracked && !direct)
        return;

    const uint8_t level = second.secondTouchLevel.load();
    const uint8_t held = velocity > 0 ? kKeyHeld : 0;
    const uint8_t before = second.keyStates[note].exchange(static_cast<uint8_t>(held | level));
    if ((before & kKeyHeld) == held)
        return;
    if (level == 0)
        return;
    console.Push(RequestType::KeyNote, t, note, held ? level : 0);
}

void CDivision::KeyPressureSecondTouch(uint8_t note, uint8_t pressure)
{
    note &= 0x7F;
    const DIVSETTINGS& own = console.DivSettings()[static_cast<size_t>(number)];
    if (own.secondTouchMethod != kMethodKeyPressure)
        return;
    std::atomic<uint8_t>& state = keyStates[note];
    if (pressure > own.pressureThreshold && pressure > 0) {
        if (state.exchange(pressure & kKeyLevelMask) == 0) {
            console.Push(RequestType::KeyNote, number, note, pressure);
            ShowKey(firstTouchDivision, note, true);
        }
    } else if (state.exchange(0) != 0) {
        console.Push(RequestType::KeyNote, number, note, 0);
        ShowKey(firstTouchDivision, note, false);
    }
}

void CDivision::ChannelPressureSecondTouch(uint8_t pressure, bool force)
{
    const DIVSETTINGS& own = console.DivSettings()[static_cast<size_t>(number)];
    if (own.secondTouchMethod != kMethodChannelPressure && !force)
        return;
    const uint8_t level = pressure > own.pressureThreshold ? (pressure & kKeyLevelMask) : 0;
    const uint8_t before = secondTouchLevel.exchange(level);
    // Only crossing the threshold starts or stops notes; keys pressed later
    // pick up the stored level.
    if ((before > 0) == (level > 0))
        return;
    for (int n = 0; n < 128; ++n) {
        std::atomic<uint8_t>& state = keyStates[static_cast<size_t>(n)];
        if (!(state.load() & kKeyHeld))
            continue;
        console.Push(RequestType::KeyNote, number, n, level);
        state.store(static_cast<uint8_t>(kKeyHeld | level));
        ShowKey(firstTouchDivision, static_cast<uint8_t>(n), level > 0);
    }
}

void CDivision::SwitchStop(int stopIndex, bool state, bool show)
{
    if (stopIndex < 0 || stopIndex >= static_cast<int>(stops.size()))
        return;
    CStop& stop = Stop(stopIndex);
    if (stop.type == StopKind::QuietCouplerStop && !console.TimerQueueAvailable())
        return;
    if (stop.type == StopKind::EffectStop) // effects are pushed by the console while held
        return;
    if (state != stop.sounding) {
        console.Push(static_cast<RequestType>(stop.type), number, stopIndex, (state != stop.inverted) ? 1 : 0);
        stop.sounding = state;
    }
    if (show && state != stop.shown) {
        console.Display().SetTabChecked(stop.item, state);
        stop.shown = state;
    }
}

} // namespace corvinta
