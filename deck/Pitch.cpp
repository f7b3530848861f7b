#include "deck/Pitch.h"

#include "deck/BpmReadout.h"
#include "deck/DeckSlider.h"
#include "deck/DeckSnapshot.h"
#include "deck/Equalizer.h"
#include "deck/audio/AudioEngine.h"

#include <QLabel>
#include <algorithm>
#include <cmath>

Pitch::Pitch(zen::audio::AudioEngine& engine, zen::deck::ChannelSource channel,
             const Controls& controls, const Equalizer& equalizer, BpmReadout& bpmReadout)
    : engine_(engine), channel_(std::move(channel)), controls_(controls), equalizer_(equalizer),
      bpmReadout_(bpmReadout) {}

int Pitch::rateFor(int origRate, int faderValue) {
    const double p = -faderValue;
    const double exact = origRate * p / 10000.0 + origRate;
    // nearbyint rounds halves to even under the default rounding mode.
    return static_cast<int>(std::nearbyint(exact));
}

QString Pitch::percentText(int faderValue) {
    const double p = -faderValue;
    return QString::number(p / 100.0, 'g', 10) + QStringLiteral(" %");
}

void Pitch::ApplyPitch() {
    const int rate = rateFor(origRate_, controls_.vscPitch->value());
    controls_.lblBPM->setText(QString::number(rate));
    engine_.channelSlideAttributes(channel_(), rate, equalizer_.volume(), equalizer_.pan(), 0);
}

void Pitch::pitchChange() {
    const int p = -controls_.vscPitch->value();
    ApplyPitch();
    controls_.lblBPM->setText(percentText(-p));
    bpmReadout_.followPitch(p);
}

void Pitch::stepFaster() {
    controls_.vscPitch->setValue(std::max(kTop, controls_.vscPitch->value() - 1));
    pitchChange();
}

void Pitch::stepSlower() {
    controls_.vscPitch->setValue(std::min(kBottom, controls_.vscPitch->value() + 1));
    pitchChange();
}

void Pitch::trackLoaded(int origRate) {
    origRate_ = origRate;
    // The program's own move: pitchChange runs on user moves only.
    controls_.vscPitch->setValue(0);
}

int Pitch::faderValue() const {
    return controls_.vscPitch->value();
}

void Pitch::restoreFader(int value) {
    controls_.vscPitch->setValue(value);
}

void Pitch::save(DeckSnapshot& snapshot) const {
    snapshot.pitch = faderValue();
}

void Pitch::restore(const DeckSnapshot& snapshot) {
    if (snapshot.pitch == faderValue()) return;
    controls_.vscPitch->setValue(snapshot.pitch);
    pitchChange();
}

double Pitch::speed() const {
    return origRate_ > 0 ? static_cast<double>(rateFor(origRate_, faderValue())) / origRate_ : 1.0;
}
