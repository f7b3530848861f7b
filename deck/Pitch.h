#pragma once

#include "deck/Deck.h"

#include <QString>

// The pitch fader and its step buttons: the fader sets the channel's sample rate, so tempo and
// pitch move together, up to 16 % either way.
class Pitch {
public:
    static constexpr int kTop = -1600;   // +16.00 %
    static constexpr int kBottom = 1600; // -16.00 %

    explicit Pitch(Deck& deck) : d_(deck) {}

    // The rate for a fader value: the track's own rate moved by the pitch, rounded half to even.
    static int rateFor(int origRate, int faderValue);
    // "1.5 %", "-0.25 %", "16 %", "0 %".
    static QString percentText(int faderValue);

    // Sets the channel's rate from the fader, with the volume and pan faders' values.
    void ApplyPitch();
    // The user moved the fader or pressed a step button.
    void pitchChange();
    // cmdPitchDw ("up"): one hundredth of a percent faster; cmdPitchUp ("dw"): slower.
    void stepFaster();
    void stepSlower();

private:
    Deck& d_;
};
