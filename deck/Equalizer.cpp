#include "deck/Equalizer.h"

#include "deck/DeckSlider.h"
#include "deck/Pitch.h"
#include "deck/audio/AudioEngine.h"

#include <QLabel>

void Equalizer::Zen_Equalize(std::int16_t& band, std::int16_t& gain) {
    if (band < 0 || band >= kBandCount) return;
    zen::audio::ParamEq params;
    d_.engine.fxGetParameters(d_.state.EqFx[band], params);
    params.gainDb = static_cast<float>(gain) / 10.0f;
    d_.engine.fxSetParameters(d_.state.EqFx[band], params);
    if (band == 0) d_.engine.fxSetParameters(d_.state.EqFx[3], params);
}

void Equalizer::bandChanged(int band) {
    const int value = d_.ui.vscEQ[band]->value();
    d_.ui.lblinfo[band + 11]->setText(QString::number(value));
    std::int16_t b = static_cast<std::int16_t>(band);
    std::int16_t g = static_cast<std::int16_t>(value);
    Zen_Equalize(b, g);
}

void Equalizer::setBandFader(int band, int value) {
    DeckSlider* fader = d_.ui.vscEQ[band];
    fader->setValue(value);
    fader->update();
    // A value that did not change raises no change handling; the band is applied regardless.
    bandChanged(band);
}

void Equalizer::bandLabelDown(int band, int button) {
    if (band < 0 || band >= kBandCount) return;
    if (button == kRightButton) {
        d_.state.KillSave[band] = static_cast<std::int16_t>(d_.ui.vscEQ[band]->value());
        setBandFader(band, kEqBottom);
    } else if (button == kLeftButton) {
        setBandFader(band, 0);
    }
}

void Equalizer::bandLabelUp(int band, int button) {
    if (band < 0 || band >= kBandCount || button != kRightButton) return;
    setBandFader(band, d_.state.KillSave[band]);
}

void Equalizer::faderChange(int fader) {
    const int value = d_.ui.hscEQ[fader]->value();
    d_.ui.lblinfo[fader + 8]->setText(QString::number(value));
    switch (fader) {
    case 0:
        d_.state.Volume = value;
        d_.engine.setGlobalVolumes(value, value, value);
        break;
    case 1:
        d_.state.Pan = value;
        pitch_.ApplyPitch();
        break;
    case 2:
        d_.state.TouchAmount = value;
        break;
    default:
        break;
    }
}

void Equalizer::faderScroll(int fader) {
    const int value = d_.ui.hscEQ[fader]->value();
    d_.ui.lblinfo[fader + 8]->setText(QString::number(value));
    if (fader == 0)
        d_.engine.setGlobalVolumes(value, value, value);
    else if (fader == 1)
        pitch_.ApplyPitch();
}
