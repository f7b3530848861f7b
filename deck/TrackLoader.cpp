#include "deck/TrackLoader.h"

#include "deck/BpmReadout.h"
#include "deck/Browser.h"
#include "deck/DeckSnapshot.h"
#include "deck/Equalizer.h"
#include "deck/Pitch.h"
#include "deck/SongPanel.h"
#include "deck/TagReader.h"
#include "deck/TimeText.h"
#include "deck/Touch.h"
#include "deck/Transport.h"
#include "deck/audio/AudioEngine.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <algorithm>

namespace audio = zen::audio;

namespace {

constexpr float kDetectSeconds = 90.0f;

} // namespace

TrackLoader::TrackLoader(audio::AudioEngine& engine, const Controls& controls, const Parts& parts)
    : engine_(engine), controls_(controls), parts_(parts) {}

QString TrackLoader::displayName(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf('.');
    return dot > 0 ? fileName.left(dot) : fileName;
}

void TrackLoader::openMusicFolder(const QString& folder) {
    const QString start = controls_.filFile->setPath(folder) ? folder : QDir::homePath();
    if (start != folder) controls_.filFile->setPath(start);
    controls_.dirFile->setPath(start);
    // The drive list follows the folder; its own handler must not move the folder list to the
    // volume's root, so the browser ends on the configured folder.
    QSignalBlocker block(controls_.drvFile);
    controls_.drvFile->setDriveOf(controls_.dirFile->path());
}

void TrackLoader::stopScrolling() {
    controls_.pctSongInfo->scroller().stop();
}

void TrackLoader::clearCommentLine() {
    controls_.tagLines[4]->setText(QString());
}

void TrackLoader::releaseTrack() {
    engine_.streamFree(channel_);
    engine_.musicFree(channel_);
    engine_.bpmFree(channel_);
    engine_.bpmFree(parts_.bpmReadout.detectionChannel());
    engine_.tempoFree(channel_);
}

void TrackLoader::openChannel(const std::string& path) {
    std::uint32_t flags = audio::kStreamFx | audio::kStreamExactSeek;
    if (controls_.chkMono->isChecked()) flags |= audio::kStreamMono;
    channel_ = engine_.streamCreateFile(path, 0, 0, flags);
    engine_.setBufferLength(5.0f);
    if (channel_ == 0)
        channel_ =
            engine_.musicLoad(path, 0, 0, audio::kMusicFx | audio::kMusicRamp | audio::kMusicLoop);
}

int TrackLoader::showRate() {
    int rate = 0;
    int volume = 0;
    int pan = 0;
    if (channel_ != 0 && engine_.channelGetAttributes(channel_, &rate, &volume, &pan)) {
        controls_.lblQuality->setText(QString::number(rate) + QStringLiteral(" Hz"));
        return rate;
    }
    // Nothing opened: no stale rate or length of the previous track stays on show.
    controls_.lblQuality->setText(QStringLiteral("- - - - - Hz"));
    return 0;
}

audio::BytePosition TrackLoader::showLength() {
    const std::int64_t length = engine_.streamGetLength(channel_);
    const auto bytes =
        static_cast<audio::BytePosition>(std::clamp<std::int64_t>(length, 0, INT32_MAX));
    if (channel_ != 0 && length >= 0)
        controls_.lblLength->setText(formatSeconds(engine_.channelBytes2Seconds(channel_, bytes)));
    else
        controls_.lblLength->setText(QStringLiteral("- - : - - , - -"));
    return bytes;
}

void TrackLoader::load(const QString& folder, const QString& fileName) {
    const QString fullPath = folder.endsWith('/') ? folder + fileName : folder + '/' + fileName;
    SongPanel* panel = controls_.pctSongInfo;
    panel->showProgress(QStringLiteral("Loading..."));
    panel->scroller().stop();

    TagRecord tag;
    const bool found = ReadTag(fullPath, tag);
    showTag(found, tag, genres_, controls_.tagLines);

    releaseTrack();
    parts_.touch.endBend();
    openChannel(fullPath.toStdString());
    loadedPath_ = fullPath;
    parts_.equalizer.attach();
    const int rate = showRate();
    parts_.transport.trackLoaded(showLength());

    parts_.bpmReadout.DetectBPM(true, 0.0f, kDetectSeconds, fullPath);
    panel->showName(displayName(fileName));
    parts_.pitch.trackLoaded(rate);
    parts_.equalizer.reapplyPan();
}

void TrackLoader::loadFile(const QString& fileName) {
    if (!fileName.isEmpty()) load(controls_.filFile->path(), fileName);
}

void TrackLoader::save(DeckSnapshot& snapshot) const {
    snapshot.folder = controls_.dirFile->path();
    snapshot.track = channel_ != 0 ? loadedPath_ : QString();
    snapshot.mono = controls_.chkMono->isChecked();
}

void TrackLoader::restore(const DeckSnapshot& snapshot) {
    if (!snapshot.folder.isEmpty()) openMusicFolder(snapshot.folder);
    controls_.chkMono->setChecked(snapshot.mono);
    const QFileInfo track(snapshot.track);
    if (!snapshot.track.isEmpty()) load(track.path(), track.fileName());
}
