#include "deck/TrackLoader.h"

#include "common/ZenButton.h"
#include "deck/BpmReadout.h"
#include "deck/DeckSlider.h"
#include "deck/Equalizer.h"
#include "deck/SongPanel.h"
#include "deck/TagReader.h"
#include "deck/TimeText.h"
#include "deck/Touch.h"
#include "deck/Transport.h"
#include "deck/audio/AudioEngine.h"

#include <QCheckBox>
#include <QLabel>
#include <algorithm>

namespace audio = zen::audio;

namespace {

constexpr float kBandwidth = 36.0f;
constexpr float kDetectSeconds = 90.0f;

} // namespace

QString TrackLoader::displayName(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf('.');
    return dot > 0 ? fileName.left(dot) : fileName;
}

void TrackLoader::releaseTrack() {
    DeckState& s = d_.state;
    d_.engine.streamFree(s.channel);
    d_.engine.musicFree(s.channel);
    d_.engine.bpmFree(s.channel);
    d_.engine.bpmFree(s.bpmChannel);
    d_.engine.tempoFree(s.channel);
}

void TrackLoader::openChannel(const std::string& path) {
    DeckState& s = d_.state;
    std::uint32_t flags = audio::kStreamFx | audio::kStreamExactSeek;
    if (d_.ui.chkMono->isChecked()) flags |= audio::kStreamMono;
    s.channel = d_.engine.streamCreateFile(path, 0, 0, flags);
    d_.engine.setBufferLength(5.0f);
    if (s.channel == 0)
        s.channel = d_.engine.musicLoad(path, 0, 0,
                                        audio::kMusicFx | audio::kMusicRamp | audio::kMusicLoop);
}

void TrackLoader::attachEqualizer() {
    DeckState& s = d_.state;
    for (int slot = 0; slot < 4; ++slot)
        s.EqFx[slot] = d_.engine.channelSetFx(s.channel, audio::kFxParamEq);
    d_.engine.fxSetParameters(s.EqFx[0], {80.0f, kBandwidth, 0.0f});
    d_.engine.fxSetParameters(s.EqFx[3], {125.0f, kBandwidth, 0.0f});
    d_.engine.fxSetParameters(s.EqFx[1], {3000.0f, kBandwidth, 0.0f});
    d_.engine.fxSetParameters(s.EqFx[2], {8000.0f, kBandwidth, 0.0f});
    for (std::int16_t band = 0; band < Equalizer::kBandCount; ++band) {
        std::int16_t b = band;
        std::int16_t gain = static_cast<std::int16_t>(d_.ui.vscEQ[band]->value());
        equalizer_.Zen_Equalize(b, gain);
    }
}

void TrackLoader::showLengthAndRate() {
    DeckState& s = d_.state;
    const std::int64_t length = d_.engine.streamGetLength(s.channel);
    d_.ui.trkPosition->setRange(0,
                                static_cast<int>(std::clamp<std::int64_t>(length, 0, INT32_MAX)));
    int rate = 0;
    int volume = 0;
    int pan = 0;
    if (s.channel != 0 && d_.engine.channelGetAttributes(s.channel, &rate, &volume, &pan)) {
        s.OrigRate = rate;
        d_.ui.lblQuality->setText(QString::number(rate) + QStringLiteral(" Hz"));
    } else {
        // Nothing opened: no stale rate or length of the previous track stays on show.
        s.OrigRate = 0;
        d_.ui.lblQuality->setText(QStringLiteral("- - - - - Hz"));
    }
    if (s.channel != 0 && length >= 0)
        d_.ui.lblLength->setText(
            formatSeconds(d_.engine.channelBytes2Seconds(s.channel, d_.ui.trkPosition->maximum())));
    else
        d_.ui.lblLength->setText(QStringLiteral("- - : - - , - -"));
}

void TrackLoader::load(const QString& folder, const QString& fileName) {
    DeckState& s = d_.state;
    const QString fullPath = folder.endsWith('/') ? folder + fileName : folder + '/' + fileName;
    const std::string path = fullPath.toStdString();

    d_.ui.pctSongInfo->showProgress(QStringLiteral("Loading..."));
    d_.ui.pctSongInfo->scroller().stop();

    TagRecord tag;
    const bool found = ReadTag(fullPath, tag);
    showTag(found, tag, s.genres,
            {d_.ui.lblinfo[0], d_.ui.lblinfo[1], d_.ui.lblinfo[2], d_.ui.lblinfo[3],
             d_.ui.lblinfo[4], d_.ui.lblinfo[5]});

    releaseTrack();
    Touch::endBend(d_);
    openChannel(path);
    attachEqualizer();
    showLengthAndRate();
    d_.ui.trkPosition->setValue(0);

    d_.ui.cmdPause->hide();
    s.Stopped = true;
    transport_.trackChanged();

    bpmReadout_.DetectBPM(true, 0.0f, kDetectSeconds, fullPath);

    d_.ui.pctSongInfo->showName(displayName(fileName));

    // The program's own move: the pitch handling does not run and the channel keeps its rate.
    d_.ui.vscPitch->setValue(0);

    // Re-apply the pan through the fader's change handling, then make sure the new channel plays
    // with the faders' volume and pan even when the pan was already 0.
    DeckSlider* pan = d_.ui.hscEQ[1];
    const int remembered = pan->value();
    pan->setValue(0);
    pan->setValue(remembered);
    d_.engine.channelSlideAttributes(s.channel, -1, d_.ui.hscEQ[0]->value(), pan->value(), 0);
}
