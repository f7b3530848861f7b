#include "deck/Touch.h"

#include "common/Colors.h"
#include "common/ZenButton.h"
#include "deck/Equalizer.h"
#include "deck/Pitch.h"
#include "deck/Transport.h"
#include "deck/audio/AudioEngine.h"

namespace {

constexpr zen::Rgb kBendDot = zen::rgb(255, 0, 0);
// Targets of the progressive bend; the engine clamps them to its own range.
constexpr int kSlowestRate = 10;
constexpr int kFastestRate = 100000;

} // namespace

Touch::Touch(zen::audio::AudioEngine& engine, zen::deck::ChannelSource channel,
             const Controls& controls, Transport& transport, Pitch& pitch,
             const Equalizer& equalizer)
    : engine_(engine), channel_(std::move(channel)), controls_(controls), transport_(transport),
      pitch_(pitch), equalizer_(equalizer) {}

void Touch::Zen_TouchB2() {
    bend(-1, controls_.cmdBack);
}

void Touch::Zen_TouchF2() {
    bend(+1, controls_.cmdForward);
}

void Touch::slide(int rate, int timeMs) {
    engine_.channelSlideAttributes(channel_(), rate, equalizer_.volume(), equalizer_.pan(), timeMs);
}

void Touch::bend(int direction, ZenButton* pressed) {
    const int amount = equalizer_.touchAmount();
    if (transport_.cueHeld()) {
        transport_.nudgeCue(direction * amount);
        return;
    }
    pressed->setDotColor(kBendDot);
    // A second press while a bend is held bends from the same starting point, so the release
    // still returns to the rate the track had before any touch.
    if (!bendHeld_) {
        savedPitch_ = pitch_.faderValue();
        int rate = 0, volume = 0, pan = 0;
        savedRate_ = engine_.channelGetAttributes(channel_(), &rate, &volume, &pan) ? rate : 0;
        bendHeld_ = true;
    }
    if (trackingOn_)
        slide(savedRate_ + direction * amount, 0);
    else
        slide(direction < 0 ? kSlowestRate : kFastestRate, amount);
}

void Touch::Zen_TouchUp() {
    if (!bendHeld_) return;
    slide(savedRate_, 0);
    pitch_.restoreFader(savedPitch_);
    endBend();
}

void Touch::endBend() {
    if (!bendHeld_) return;
    bendHeld_ = false;
    controls_.cmdBack->setDotColor(zen::kLightOffDot);
    controls_.cmdForward->setDotColor(zen::kLightOffDot);
}

void Touch::dimLights() {
    if (bendHeld_) return;
    controls_.cmdForward->setDotColor(zen::kLightOffDot);
    controls_.cmdBack->setDotColor(zen::kLightOffDot);
}
