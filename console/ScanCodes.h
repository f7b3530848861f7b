#pragma once

#include <QString>

namespace zen::console {

// The PC set-1 scan code of a key from its Linux input code (the X keycode less 8), as the
// mapping entries hold it; 0 for a key that has no code of its own.
int setOneScanCode(int inputCode);

// The name a desktop gives the key of that set-1 code on a US keyboard ("a", "F5", "space"), as
// shortcut triggers name keys; empty for a modifier or a code without a key of its own. Codes the
// arrows share with the keypad name the arrows.
QString keyName(int setOneCode);

} // namespace zen::console
