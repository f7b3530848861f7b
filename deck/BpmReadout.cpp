#include "deck/BpmReadout.h"

#include "deck/SongPanel.h"

#include <QLabel>
#include <cmath>

namespace audio = zen::audio;

namespace {

// Labels hold numbers in the C locale with up to seven significant digits: 128 shows "128", and
// a negative zero shows "0".
QString numberText(float value) {
    return QString::number(static_cast<double>(value) + 0.0, 'g', 7);
}

// The deck never creates a tempo channel; the tempo query is made on this handle.
constexpr audio::Handle kNoTempoChannel = 0;

} // namespace

BpmReadout::BpmReadout(audio::AudioEngine& engine, const Controls& controls, SongPanel& songPanel)
    : engine_(engine), controls_(controls), songPanel_(songPanel) {}

void BpmReadout::DetectBPM(bool newChannel, float startSec, float endSec, const QString& path) {
    const std::string file = path.toStdString();
    if (newChannel) {
        bpmChannel_ = engine_.streamCreateFile(file, 0, 0, audio::kDecodeOnly);
        if (bpmChannel_ == 0)
            bpmChannel_ =
                engine_.musicLoad(file, 0, 0, audio::kDecodeOnly | audio::kMusicCalcLength);
    }
    detectedBpm_ = engine_.bpmDecodeGet(
        bpmChannel_, startSec, endSec, 0, 3,
        [this](audio::Handle channel, float percent) { BPMProgress(channel, percent); });
    controls_.lblBPMs->setText(numberText(-100.0f * TempoBPM(bpmChannel_)));
    controls_.lblOrigBPM->setText(numberText(-100.0f * TempoBPM(bpmChannel_)));
}

void BpmReadout::BPMProgress(audio::Handle, float percent) {
    songPanel_.showProgress(
        QStringLiteral("BPM detection %1%").arg(static_cast<long>(std::floor(percent))));
}

float BpmReadout::TempoBPM(audio::Handle handle) {
    const float percent = engine_.tempoGetApproxPercents(kNoTempoChannel);
    const float bpm = engine_.bpmPercents2Bpm(handle, percent);
    return QString::number(static_cast<double>(bpm), 'f', 2).toFloat();
}

void BpmReadout::showReadouts(bool shown) {
    controls_.lblBPMs->setVisible(shown);
    controls_.Label9->setVisible(shown);
}

void BpmReadout::followPitch(int p) {
    if (controls_.lblBPMs->text() == QLatin1String("Not Detected")) return;
    const double tempo = controls_.lblOrigBPM->text().toDouble() * (1.0 + p / 10000.0);
    controls_.lblBPMs->setText(QStringLiteral("%1").arg(tempo, 7, 'f', 3, QChar('0')));
}
