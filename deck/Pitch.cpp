#include "deck/Pitch.h"

#include "deck/DeckSlider.h"
#include "deck/audio/AudioEngine.h"

#include <QLabel>
#include <algorithm>
#include <cmath>

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
    const int rate = rateFor(d_.state.OrigRate, d_.ui.vscPitch->value());
    d_.ui.lblBPM->setText(QString::number(rate));
    d_.engine.channelSlideAttributes(d_.state.channel, rate, d_.ui.hscEQ[0]->value(),
                                     d_.ui.hscEQ[1]->value(), 0);
}

void Pitch::pitchChange() {
    const int p = -d_.ui.vscPitch->value();
    ApplyPitch();
    d_.ui.lblBPM->setText(percentText(-p));
    if (d_.ui.lblBPMs->text() != QLatin1String("Not Detected")) {
        const double tempo = d_.ui.lblOrigBPM->text().toDouble() * (1.0 + p / 10000.0);
        d_.ui.lblBPMs->setText(QStringLiteral("%1").arg(tempo, 7, 'f', 3, QChar('0')));
    }
}

void Pitch::stepFaster() {
    d_.ui.vscPitch->setValue(std::max(kTop, d_.ui.vscPitch->value() - 1));
    pitchChange();
}

void Pitch::stepSlower() {
    d_.ui.vscPitch->setValue(std::min(kBottom, d_.ui.vscPitch->value() + 1));
    pitchChange();
}
