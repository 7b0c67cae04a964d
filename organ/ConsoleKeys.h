#pragma once
// The computer keyboard's console keys: cancels, restore, panic, second
// touch, the latching buttons, piston keys and the toe studs. Keys are the
// virtual-key codes the organ's tables use ('A'..'Z', '0'..'9', F1 = 112 ...);
// the window turns its toolkit's key codes into these.

#include "organ/OrganTables.h"

namespace corvinta {

namespace vk {
inline constexpr int Backspace = 8;
inline constexpr int Enter = 13;
inline constexpr int Escape = 27;
inline constexpr int Space = 32;
inline constexpr int PageUp = 33;
inline constexpr int PageDown = 34;
inline constexpr int End = 35;
inline constexpr int Home = 36;
inline constexpr int Left = 37;
inline constexpr int Up = 38;
inline constexpr int Right = 39;
inline constexpr int Down = 40;
inline constexpr int Insert = 45;
inline constexpr int Delete = 46;
inline constexpr int Keypad1 = 97; // .. Keypad5 = 101
inline constexpr int F10 = 121;
inline constexpr int ScrollLock = 145;
inline constexpr int Semicolon = 186;
inline constexpr int Equals = 187;
inline constexpr int Comma = 188;
inline constexpr int Period = 190;
inline constexpr int Slash = 191;
inline constexpr int Backslash = 220;
inline constexpr int RightBracket = 221;
} // namespace vk

// What a console key leaves for the window to do: the player's buttons and
// the re-layout belong to it, not to the organ.
enum class WindowKeyAction { None, PlayerPlay, PlayerRecord, PlayerLoop, Relayout };

// Whether the on-screen keyboard hands this key to the console on its press
// (and, for the toe studs and Space, on its release too).
bool IsConsoleKey(int virtualKey);
bool IsConsoleKeyRelease(int virtualKey);

} // namespace corvinta
