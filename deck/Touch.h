#pragma once

#include "deck/ChannelSource.h"

class Equalizer;
class Pitch;
class Transport;
class ZenButton;

// The touch buttons: while one is held the channel's rate is pulled down or up (at once by the
// touch amount with tracking on, progressively towards the engine's extreme rate with tracking
// off), and the release puts back the rate and pitch fader of the moment the bend began. While
// the cue is latched they nudge the cue point by the touch amount instead.
//
// Only a release of a bend this deck started restores anything: the console sends the release
// to both decks for any key let go, and a deck playing at +3 % must not drop to 0 % for that.
class Touch {
public:
    struct Controls {
        ZenButton* cmdBack = nullptr;
        ZenButton* cmdForward = nullptr;
    };

    // The touch amount, volume and pan are the equalizer's faders'.
    Touch(zen::audio::AudioEngine& engine, zen::deck::ChannelSource channel,
          const Controls& controls, Transport& transport, Pitch& pitch, const Equalizer& equalizer);

    void Zen_TouchB2();
    void Zen_TouchF2();
    void Zen_TouchUp();

    // Forgets the bend being held, if any, without touching the channel: a load replaces the
    // channel it was bending.
    void endBend();
    // The activity light went off: the buttons' dots go back to idle, but a held bend keeps its
    // red.
    void dimLights();

    // The tracking mode of the deck's configuration: an immediate bend by the touch amount.
    void setTracking(bool on) { trackingOn_ = on; }
    bool trackingOn() const { return trackingOn_; }
    bool bendHeld() const { return bendHeld_; }

private:
    void bend(int direction, ZenButton* pressed);
    void slide(int rate, int timeMs);

    zen::audio::AudioEngine& engine_;
    zen::deck::ChannelSource channel_;
    Controls controls_;
    Transport& transport_;
    Pitch& pitch_;
    const Equalizer& equalizer_;
    bool trackingOn_ = false;
    // The rate and pitch fader at the start of the bend being held.
    int savedRate_ = 0;
    int savedPitch_ = 0;
    bool bendHeld_ = false;
};
