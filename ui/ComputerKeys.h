#pragma once
// Qt's key codes as the organ's virtual-key codes ('A'..'Z', '0'..'9',
// F1 = 112, the keypad's digits 96..105, "," = 188 ...): one table, so the
// keyboard and the console keys read the same numbers on every desktop.

#include <Qt>

namespace corvinta::ui {

// 0 for a key the organ does not use.
int VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers);

} // namespace corvinta::ui
