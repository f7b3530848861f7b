#include "deck/Equalizer.h"

#include "deck/DeckSlider.h"
#include "deck/DeckSnapshot.h"
#include "deck/audio/AudioEngine.h"

#include <QLabel>

namespace {

constexpr float kBandwidth = 36.0f;

} // namespace

Equalizer::Equalizer(zen::audio::AudioEngine& engine, zen::deck::ChannelSource channel,
                     const Controls& controls, std::function<void()> panChanged)
    : engine_(engine), channel_(std::move(channel)), controls_(controls),
      panChanged_(std::move(panChanged)) {}

void Equalizer::Zen_Equalize(std::int16_t band, std::int16_t gain) {
    if (band < 0 || band >= kBandCount) return;
    zen::audio::ParamEq params;
    engine_.fxGetParameters(eqFx_[band], params);
    params.gainDb = static_cast<float>(gain) / 10.0f;
    engine_.fxSetParameters(eqFx_[band], params);
    if (band == 0) engine_.fxSetParameters(eqFx_[3], params);
}

void Equalizer::bandChanged(int band) {
    const int value = controls_.vscEQ[band]->value();
    controls_.bandValues[band]->setText(QString::number(value));
    Zen_Equalize(static_cast<std::int16_t>(band), static_cast<std::int16_t>(value));
}

void Equalizer::setBandFader(int band, int value) {
    DeckSlider* fader = controls_.vscEQ[band];
    fader->setValue(value);
    fader->update();
    // A value that did not change raises no change handling; the band is applied regardless.
    bandChanged(band);
}

void Equalizer::bandLabelDown(int band, int button) {
    if (band < 0 || band >= kBandCount) return;
    if (button == kRightButton) {
        killSave_[band] = static_cast<std::int16_t>(controls_.vscEQ[band]->value());
        setBandFader(band, kEqBottom);
    } else if (button == kLeftButton) {
        setBandFader(band, 0);
    }
}

void Equalizer::bandLabelUp(int band, int button) {
    if (band < 0 || band >= kBandCount || button != kRightButton) return;
    setBandFader(band, killSave_[band]);
}

void Equalizer::faderChange(int fader) {
    const int value = controls_.hscEQ[fader]->value();
    controls_.faderValues[fader]->setText(QString::number(value));
    switch (fader) {
    case 0:
        volume_ = value;
        engine_.setGlobalVolumes(value, value, value);
        break;
    case 1:
        pan_ = value;
        panChanged_();
        break;
    case 2:
        touchAmount_ = value;
        break;
    default:
        break;
    }
}

void Equalizer::faderScroll(int fader) {
    const int value = controls_.hscEQ[fader]->value();
    controls_.faderValues[fader]->setText(QString::number(value));
    if (fader == 0)
        engine_.setGlobalVolumes(value, value, value);
    else if (fader == 1)
        panChanged_();
}

void Equalizer::attach() {
    for (zen::audio::Handle& fx : eqFx_)
        fx = engine_.channelSetFx(channel_(), zen::audio::kFxParamEq);
    engine_.fxSetParameters(eqFx_[0], {80.0f, kBandwidth, 0.0f});
    engine_.fxSetParameters(eqFx_[3], {125.0f, kBandwidth, 0.0f});
    engine_.fxSetParameters(eqFx_[1], {3000.0f, kBandwidth, 0.0f});
    engine_.fxSetParameters(eqFx_[2], {8000.0f, kBandwidth, 0.0f});
    for (int band = 0; band < kBandCount; ++band)
        Zen_Equalize(static_cast<std::int16_t>(band),
                     static_cast<std::int16_t>(controls_.vscEQ[band]->value()));
}

void Equalizer::reapplyPan() {
    DeckSlider* pan = controls_.hscEQ[1];
    const int remembered = pan->value();
    pan->setValue(0);
    pan->setValue(remembered);
    engine_.channelSlideAttributes(channel_(), -1, controls_.hscEQ[0]->value(), pan->value(), 0);
}

void Equalizer::save(DeckSnapshot& snapshot) const {
    for (int band = 0; band < kBandCount; ++band)
        snapshot.bands[band] = controls_.vscEQ[band]->value();
    snapshot.volume = volume_;
    snapshot.pan = pan_;
    snapshot.touchAmount = touchAmount_;
}

void Equalizer::restore(const DeckSnapshot& snapshot) {
    // Each move goes through the faders' change handling, as the DJ's would.
    for (int band = 0; band < kBandCount; ++band)
        controls_.vscEQ[band]->setValue(snapshot.bands[band]);
    controls_.hscEQ[0]->setValue(snapshot.volume);
    controls_.hscEQ[1]->setValue(snapshot.pan);
    controls_.hscEQ[2]->setValue(snapshot.touchAmount);
}
