#pragma once

// Where the deck windows open, in pixels: at the top of the screen, deck 1 at the left edge and
// deck 2 beside it, each kDeckWidth x kDeckHeight (without the window manager's frame). The
// console keeps its engine button clear of them.
inline constexpr int kDeckWidth = 579;
inline constexpr int kDeckHeight = 560;
inline constexpr int kDeck2Left = kDeckWidth;
