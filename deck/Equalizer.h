#pragma once

#include "deck/Deck.h"

#include <cstdint>

class Pitch;

// The three-band equalizer with kill and reset on its band labels, and the volume, pan and
// touch-amount faders.
class Equalizer {
public:
    static constexpr int kBandCount = 3;
    static constexpr int kEqTop = 150;     // +15.0 dB
    static constexpr int kEqBottom = -150; // -15.0 dB
    static constexpr int kLeftButton = 1;
    static constexpr int kRightButton = 2;

    Equalizer(Deck& deck, Pitch& pitch) : d_(deck), pitch_(pitch) {}

    // Sets the gain (tenths of a dB) of a band's effect; the low band also rewrites slot 3 with
    // its parameters, so it acts twice.
    void Zen_Equalize(std::int16_t& band, std::int16_t& gain);
    // vscEQ(i) moved (by the user or the program).
    void bandChanged(int band);
    // lblEQR(i): the right button held kills the band until release, the left button resets it.
    void bandLabelDown(int band, int button);
    void bandLabelUp(int band, int button);

    // hscEQ(i) change (every value change) and scroll (user moves) handling.
    void faderChange(int fader);
    void faderScroll(int fader);

private:
    void setBandFader(int band, int value);

    Deck& d_;
    Pitch& pitch_;
};
