#include "deck/Touch.h"

#include "common/Colors.h"
#include "common/ZenButton.h"
#include "deck/DeckSlider.h"
#include "deck/audio/AudioEngine.h"

namespace {

constexpr zen::Rgb kBendDot = zen::rgb(255, 0, 0);
constexpr zen::Rgb kIdleDot = zen::rgb(128, 0, 0);
// Targets of the progressive bend; the engine clamps them to its own range.
constexpr int kSlowestRate = 10;
constexpr int kFastestRate = 100000;

} // namespace

void Touch::Zen_TouchB2() {
    bend(-1, d_.ui.cmdBack);
}

void Touch::Zen_TouchF2() {
    bend(+1, d_.ui.cmdForward);
}

void Touch::bend(int direction, ZenButton* pressed) {
    DeckState& s = d_.state;
    if (s.CueHeld) {
        s.CuePoint += direction * s.TouchAmount;
        d_.engine.channelSetPosition(s.channel, s.CuePoint);
        return;
    }
    pressed->setDotColor(kBendDot);
    // A second press while a bend is held bends from the same starting point, so the release
    // still returns to the rate the track had before any touch.
    if (!s.bendHeld) {
        s.SavedPitch = d_.ui.vscPitch->value();
        int rate = 0, volume = 0, pan = 0;
        s.SavedRate = d_.engine.channelGetAttributes(s.channel, &rate, &volume, &pan) ? rate : 0;
        s.bendHeld = true;
    }
    if (s.trackingOn)
        d_.engine.channelSlideAttributes(s.channel, s.SavedRate + direction * s.TouchAmount,
                                         s.Volume, s.Pan, 0);
    else
        d_.engine.channelSlideAttributes(s.channel, direction < 0 ? kSlowestRate : kFastestRate,
                                         s.Volume, s.Pan, s.TouchAmount);
}

void Touch::Zen_TouchUp() {
    DeckState& s = d_.state;
    if (!s.bendHeld) return;
    d_.engine.channelSlideAttributes(s.channel, s.SavedRate, s.Volume, s.Pan, 0);
    // The program's own move: the pitch handling does not run, the rate above stands.
    d_.ui.vscPitch->setValue(s.SavedPitch);
    endBend(d_);
}

void Touch::endBend(Deck& deck) {
    if (!deck.state.bendHeld) return;
    deck.state.bendHeld = false;
    deck.ui.cmdBack->setDotColor(kIdleDot);
    deck.ui.cmdForward->setDotColor(kIdleDot);
}
