// The console's computer-keyboard commands, checked in a fixed order: the
// console keys first, then the piston keys, then the toe studs.

#include "organ/ConsoleKeys.h"

#include "organ/Console.h"

#include <algorithm>
#include <array>

namespace corvinta {

namespace {

// The keys an on-screen keyboard hands on when they go down. Up is not
// among them.
constexpr std::array kConsoleKeys{
    vk::Backspace, vk::Enter, vk::Escape, vk::PageUp, vk::PageDown, vk::End, vk::Home, vk::Left, vk::Right,
    vk::Down, vk::Insert, vk::Delete, int('E'), int('I'), int('O'), int('P'), int('Q'), int('R'), int('T'),
    int('U'), int('W'), int('Y'), vk::ScrollLock, vk::Equals, vk::Backslash, vk::RightBracket,
};
// ... and those also handed on when they come up.
constexpr std::array kReleasedKeys{int('I'), int('O'), int('P'), int('R'), int('T'), int('U'), int('Y')};

constexpr bool IsDigitOrFunctionKey(int key)
{
    return (key >= '0' && key <= '9') || (key >= vk::F1 && key <= vk::F10);
}

} // namespace

bool IsConsoleKey(int key)
{
    return key == vk::Space || IsDigitOrFunctionKey(key) ||
           std::find(kConsoleKeys.begin(), kConsoleKeys.end(), key) != kConsoleKeys.end();
}

bool IsConsoleKeyRelease(int key)
{
    return key == vk::Space || std::find(kReleasedKeys.begin(), kReleasedKeys.end(), key) != kReleasedKeys.end();
}

WindowKeyAction CConsole::ConsoleKey(int key, bool released)
{
    switch (key) {
    case vk::Space: {
        std::lock_guard lock(stateMutex_);
        for (auto& division : divisions_)
            if (division->isSecondTouch)
                division->ChannelPressureSecondTouch(released ? 0 : 127, true);
        return WindowKeyAction::None;
    }
    case vk::Escape:
        if (!released)
            Panic();
        return WindowKeyAction::None;
    case vk::ScrollLock: return released ? WindowKeyAction::None : WindowKeyAction::Relayout;
    case vk::Left: return released ? WindowKeyAction::None : WindowKeyAction::PlayerPlay;
    case vk::Right: return released ? WindowKeyAction::None : WindowKeyAction::PlayerRecord;
    case vk::Down: return released ? WindowKeyAction::None : WindowKeyAction::PlayerLoop;
    default: break;
    }

    // Piston keys before the toe studs; a piston fires on the press only.
    if (!released)
        for (int p = 0; p < kPistonCount; ++p)
            if (kPistons[static_cast<size_t>(p)].key == key) {
                OnCommand(PistonCommand(p), 0);
                return WindowKeyAction::None;
            }
    // Toe studs sound while their key is held.
    for (const ToeStudDefinition& stud : kToeStuds)
        if (stud.key == key) {
            EffectTab(stud.effectStop, !released);
            display_->SetTabPressed(stud.effectStop, !released);
            return WindowKeyAction::None;
        }
    if (released)
        return WindowKeyAction::None;

    int command = 0;
    switch (key) {
    case vk::Backspace:
    case vk::Delete: command = commands::kGeneralCancel; break;
    case vk::Enter: command = commands::kRestore; break;
    case vk::PageUp: command = commands::kAccompanimentCancel; break;
    case vk::PageDown: command = commands::kTremulantCancel; break;
    case vk::End: command = commands::kPedalCancel; break;
    case vk::Home:
    case vk::Insert: command = commands::kSoloCancel; break;
    case vk::Equals:
    case vk::Backslash:
    case vk::RightBracket: {
        const LatchButton button = key == vk::Equals ? LatchButton::Mem
                                   : key == vk::Backslash ? LatchButton::Set
                                                          : LatchButton::Map;
        const int latchCommand = button == LatchButton::Mem ? commands::kMem
                                 : button == LatchButton::Set ? commands::kSet
                                                              : commands::kMap;
        OnCommand(latchCommand, Latched(button) ? 0 : 1);
        return WindowKeyAction::None;
    }
    default: break;
    }
    if (command != 0)
        OnCommand(command, 0);
    return WindowKeyAction::None;
}

} // namespace corvinta
