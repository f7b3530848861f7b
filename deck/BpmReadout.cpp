#include "deck/BpmReadout.h"

#include "deck/audio/AudioEngine.h"

#include <QLabel>
#include <cmath>

namespace audio = zen::audio;

namespace {

// Labels hold numbers in the C locale with up to seven significant digits: 128 shows "128", and
// a negative zero shows "0".
QString numberText(float value) {
    return QString::number(static_cast<double>(value) + 0.0, 'g', 7);
}

} // namespace

void BpmReadout::DetectBPM(bool newChannel, float startSec, float endSec, const QString& path) {
    const std::string file = path.toStdString();
    if (newChannel) {
        d_.state.bpmChannel = d_.engine.streamCreateFile(file, 0, 0, audio::kDecodeOnly);
        if (d_.state.bpmChannel == 0)
            d_.state.bpmChannel =
                d_.engine.musicLoad(file, 0, 0, audio::kDecodeOnly | audio::kMusicCalcLength);
    }
    d_.state.detectedBpm = d_.engine.bpmDecodeGet(
        d_.state.bpmChannel, startSec, endSec, 0, 3,
        [this](audio::Handle channel, float percent) { BPMProgress(channel, percent); });
    d_.ui.lblBPMs->setText(numberText(-100.0f * TempoBPM(d_.state.bpmChannel)));
    d_.ui.lblOrigBPM->setText(numberText(-100.0f * TempoBPM(d_.state.bpmChannel)));
}

void BpmReadout::BPMProgress(audio::Handle, float percent) {
    QLabel* label = d_.ui.lblFileName;
    label->setText(QStringLiteral("BPM detection %1%").arg(static_cast<long>(std::floor(percent))));
    label->repaint();
}

float BpmReadout::TempoBPM(audio::Handle handle) {
    const float percent = d_.engine.tempoGetApproxPercents(d_.state.tempoChannel);
    const float bpm = d_.engine.bpmPercents2Bpm(handle, percent);
    return QString::number(static_cast<double>(bpm), 'f', 2).toFloat();
}
