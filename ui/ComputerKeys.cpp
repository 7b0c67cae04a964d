#include "ui/ComputerKeys.h"

#include "organ/ConsoleKeys.h"

#include <array>

namespace corvinta::ui {

namespace {

struct KeyPair {
    int qtKey;
    int virtualKey;
};

constexpr std::array kKeys{
    KeyPair{Qt::Key_Backspace, vk::Backspace}, KeyPair{Qt::Key_Return, vk::Enter},
    KeyPair{Qt::Key_Enter, vk::Enter},         KeyPair{Qt::Key_Escape, vk::Escape},
    KeyPair{Qt::Key_Space, vk::Space},         KeyPair{Qt::Key_PageUp, vk::PageUp},
    KeyPair{Qt::Key_PageDown, vk::PageDown},   KeyPair{Qt::Key_End, vk::End},
    KeyPair{Qt::Key_Home, vk::Home},           KeyPair{Qt::Key_Left, vk::Left},
    KeyPair{Qt::Key_Up, vk::Up},               KeyPair{Qt::Key_Right, vk::Right},
    KeyPair{Qt::Key_Down, vk::Down},           KeyPair{Qt::Key_Insert, vk::Insert},
    KeyPair{Qt::Key_Delete, vk::Delete},       KeyPair{Qt::Key_ScrollLock, vk::ScrollLock},
    KeyPair{Qt::Key_Semicolon, vk::Semicolon}, KeyPair{Qt::Key_Equal, vk::Equals},
    KeyPair{Qt::Key_Comma, vk::Comma},         KeyPair{Qt::Key_Period, vk::Period},
    KeyPair{Qt::Key_Slash, vk::Slash},         KeyPair{Qt::Key_Backslash, vk::Backslash},
    KeyPair{Qt::Key_BracketRight, vk::RightBracket},
};

constexpr int kKeypadZero = 96;

} // namespace

int VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers)
{
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return 'A' + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return (modifiers & Qt::KeypadModifier) ? kKeypadZero + (qtKey - Qt::Key_0) : '0' + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F10)
        return vk::F1 + (qtKey - Qt::Key_F1);
    for (const KeyPair& k : kKeys)
        if (k.qtKey == qtKey)
            return k.virtualKey;
    return 0;
}

} // namespace corvinta::ui
