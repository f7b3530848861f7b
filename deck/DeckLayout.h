#pragma once

#include "deck/Deck.h"

// Creates the controls of frmMain at their design places and sizes (pixels), with their
// captions, ranges and start values, and records them in `ui`. A compact deck, 579 pixels wide.
// Places are kept free for the spectrum view, the level meter, the processor load and the touch
// buttons, which other parts of the deck put there.
void createDeckControls(QWidget* frmMain, DeckUi& ui);

inline constexpr int kDeckWidth = 579;
inline constexpr int kDeckHeight = 560;
