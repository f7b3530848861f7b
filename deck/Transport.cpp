#include "deck/Transport.h"

#include "deck/DeckSlider.h"
#include "deck/DeckSnapshot.h"
#include "deck/LatchLight.h"
#include "deck/Loop.h"
#include "deck/TimeText.h"
#include "deck/audio/AudioEngine.h"

#include <QCheckBox>
#include <QLabel>
#include <cmath>

namespace audio = zen::audio;

namespace {

constexpr zen::Rgb kStopCommandDot = zen::rgb(255, 0, 0);

// The close watch takes over this long before the end of a playing track: many frames ahead at
// any speed the pitch and a touch can reach.
constexpr float kCloseWatchSeconds = 1.0f;

} // namespace

Transport::Transport(audio::AudioEngine& engine, zen::deck::ChannelSource channel,
                     const Controls& controls, Loop& loop)
    : engine_(engine), channel_(std::move(channel)), controls_(controls), loop_(loop),
      timer1_(10, [this](int) { positionTick(); }), fxTimer2_(2, [this](int) {
          if (!closeWatch_.isActive()) loopTick();
      }) {
    closeWatch_.setTimerType(Qt::PreciseTimer);
    closeWatch_.setInterval(fxTimer2_.interval());
    closeWatch_.callOnTimeout([this] { loopTick(); });
    loop_.onChange([this] { watchClosely(); });
    tmrCue_.setTimerType(Qt::PreciseTimer);
    tmrCue_.setInterval(75);
    tmrCue_.callOnTimeout([this] { cueTick(); });
}

void Transport::setTimersRunning(bool running) {
    timersRunning_ = running;
    if (running)
        timer1_.start();
    else
        timer1_.stop();
    watchTrack();
}

void Transport::watchTrack() {
    if (timersRunning_ && channel_() != 0) {
        if (!fxTimer2_.isActive()) fxTimer2_.start();
        watchClosely();
    } else {
        fxTimer2_.stop();
        closeWatch_.stop();
    }
}

void Transport::watchClosely() {
    if (fxTimer2_.isActive() && !closeWatch_.isActive()) closeWatch_.start();
}

bool Transport::watchMustBeClose(audio::BytePosition p) const {
    if (p < 0) return false;
    if (loop_.needsWatch(p)) return true;
    if (!pauseShown()) return false;
    const float len = engine_.channelBytes2Seconds(channel_(), controls_.trkPosition->maximum());
    return len - engine_.channelBytes2Seconds(channel_(), p) < kCloseWatchSeconds;
}

void Transport::stopTimers() {
    setTimersRunning(false);
    tmrCue_.stop();
}

void Transport::trackLoaded(audio::BytePosition length) {
    controls_.trkPosition->setRange(0, length);
    controls_.trkPosition->setValue(0);
    setPlaying(false);
    watchTrack();
    loop_.trackChanged();
}

audio::BytePosition Transport::position() const {
    return engine_.channelGetPosition(channel_());
}

void Transport::seek(audio::BytePosition bytes) {
    engine_.channelSetPosition(channel_(), bytes);
    watchClosely();
}

bool Transport::pauseShown() const {
    return !controls_.cmdPause->isHidden();
}

void Transport::setPlaying(bool playing) {
    controls_.cmdPause->setVisible(playing);
    stopped_ = !playing;
    watchClosely();
}

void Transport::Zen_Pause() {
    if (!stopped_) {
        engine_.channelStop(channel_());
        setPlaying(false);
    } else {
        engine_.streamPlay(channel_(), cuePoint_, 0);
        setPlaying(true);
    }
}

void Transport::Zen_Stop() {
    engine_.channelStop(channel_());
    seek(cuePoint_);
    setPlaying(false);
}

void Transport::Zen_CUE() {
    if (!cueHeld_) {
        showLatched(*controls_.cmdCUE, true);
        cuePoint_ = position();
        cueHeld_ = true;
        tmrCue_.start();
    } else {
        showLatched(*controls_.cmdCUE, false);
        seek(cuePoint_);
        tmrCue_.stop();
        cueHeld_ = false;
    }
}

void Transport::Zen_CueSet() {
    cuePoint_ = position();
}

void Transport::Zen_CuePlay() {
    // One step for the sound: nothing of the old position may slip out between the two.
    const audio::CommandGroup group(engine_);
    engine_.streamPlay(channel_(), cuePoint_, 0);
    seek(cuePoint_);
}

void Transport::nudgeCue(int bytes) {
    cuePoint_ += bytes;
    seek(cuePoint_);
}

void Transport::flashStop() {
    controls_.cmdStop->setDotColor(kStopCommandDot);
}

void Transport::dimLights() {
    if (!cueHeld_) controls_.cmdCUE->setDotColor(zen::kLightOffDot);
    for (ZenButton* button : {controls_.cmdPause, controls_.cmdPlay, controls_.cmdStop})
        button->setDotColor(zen::kLightOffDot);
}

void Transport::seekToSlider() {
    seek(controls_.trkPosition->value());
}

void Transport::positionTick() {
    const audio::BytePosition p = position();
    controls_.trkPosition->setValue(p);
    controls_.lblPosition->setText(p == -1 ? QStringLiteral("- - : - - , - - -")
                                           : FormatTime(engine_, channel_(), p));
}

void Transport::loopTick() {
    watchOnce();
    if (watchMustBeClose(position()))
        watchClosely();
    else
        closeWatch_.stop();
}

void Transport::watchOnce() {
    const audio::BytePosition p = position();
    controls_.trkPosition->setValue(p);
    loop_.watch(p);
    if (p == -1) return;
    const float len = engine_.channelBytes2Seconds(channel_(), controls_.trkPosition->maximum());
    const float now = engine_.channelBytes2Seconds(channel_(), controls_.trkPosition->value());
    if (static_cast<float>(len - 0.1) < now && pauseShown()) endOfTrack();
}

void Transport::endOfTrack() {
    engine_.channelStop(channel_());
    seek(0);
    setPlaying(false);
    if (controls_.chkRepeat->isChecked()) {
        engine_.streamPreBuf(channel_());
        engine_.streamPlay(channel_(), 0, audio::kPlayLoop);
        setPlaying(true);
    }
}

void Transport::cueTick() {
    seek(cuePoint_);
}

void Transport::save(DeckSnapshot& snapshot) const {
    snapshot.playing = !stopped_;
    snapshot.position = std::max(position(), 0);
    snapshot.cue = cuePoint_;
    snapshot.repeat = controls_.chkRepeat->isChecked();
}

void Transport::resume(const DeckSnapshot& snapshot, double elapsedSeconds, double speed) {
    cuePoint_ = snapshot.cue;
    controls_.chkRepeat->setChecked(snapshot.repeat);
    if (channel_() == 0) return;
    const double length = controls_.trkPosition->maximum();
    double at = snapshot.position;
    bool playing = snapshot.playing;
    const float seconds =
        engine_.channelBytes2Seconds(channel_(), controls_.trkPosition->maximum());
    if (playing && seconds > 0) {
        at += std::max(elapsedSeconds, 0.0) * speed * length / seconds;
        const double loopStart = loop_.loopStart(), loopEnd = loop_.loopEnd();
        if (loop_.loopOn() && loopEnd > loopStart && snapshot.position < loopEnd && at >= loopEnd)
            at = loopStart + std::fmod(at - loopEnd, loopEnd - loopStart);
        if (at >= length) {
            // The end stops the track at its start, or starts it again with repeat.
            playing = snapshot.repeat;
            at = playing ? std::fmod(at, length) : 0;
        }
    }
    const audio::CommandGroup group(engine_);
    seek(static_cast<audio::BytePosition>(at));
    if (playing) engine_.streamPlay(channel_(), 0, 0);
    setPlaying(playing);
}
