#pragma once

#include "deck/Deck.h"

// The touch buttons: while one is held the channel's rate is pulled down or up (at once by the
// touch amount with tracking on, progressively towards the engine's extreme rate with tracking
// off), and the release puts back the rate and pitch fader of the moment the bend began. While
// the cue is latched they nudge the cue point by the touch amount instead.
//
// Only a release of a bend this deck started restores anything: the console sends the release
// to both decks for any key let go, and a deck playing at +3 % must not drop to 0 % for that.
class Touch {
public:
    explicit Touch(Deck& deck) : d_(deck) {}

    void Zen_TouchB2();
    void Zen_TouchF2();
    void Zen_TouchUp();

    // Forgets the bend being held, if any, without touching the channel: a load replaces the
    // channel it was bending.
    static void endBend(Deck& deck);

private:
    void bend(int direction, ZenButton* pressed);

    Deck& d_;
};
