#pragma once

#include "common/Colors.h"

#include <array>

namespace zen {

// The deck's fixed palette, applied by its DoColors. Entries 3, 4, 6 and 7 are part of the set
// but not applied by the deck.
inline constexpr std::array<Rgb, 8> kDeckPalette = {
    rgb(123, 180, 183), // 0 window background
    rgb(38, 69, 70),    // 1 border of the background panels
    rgb(27, 47, 48),    // 2 information labels and song panel background
    rgb(0, 127, 127),   // 3
    rgb(255, 255, 255), // 4
    rgb(66, 118, 121),  // 5 panel fill; repeat, mono and activity check backgrounds
    rgb(127, 127, 127), // 6
    rgb(0, 192, 192),   // 7
};
inline constexpr Rgb kDeckInfoText = rgb(255, 255, 255);

// The console's four colours, applied by its DoColors to the main window and the options panel.
inline constexpr Rgb kConsoleBackground = rgb(123, 180, 183);
inline constexpr Rgb kConsolePanelBorder = rgb(38, 69, 70);
inline constexpr Rgb kConsolePanelFill = rgb(66, 118, 121);
inline constexpr Rgb kConsoleMeterFill = rgb(0, 192, 192);

} // namespace zen
