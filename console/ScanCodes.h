#pragma once

namespace zen::console {

// The PC set-1 scan code of a key from its Linux input code (the X keycode less 8), as the
// mapping entries hold it; 0 for a key that has no code of its own.
int setOneScanCode(int inputCode);

} // namespace zen::console
