#include "deck/Transport.h"

#include "common/Colors.h"
#include "common/ZenButton.h"
#include "deck/DeckSlider.h"
#include "deck/TimeText.h"
#include "deck/audio/AudioEngine.h"

#include <QCheckBox>
#include <QLabel>
#include <cmath>

namespace audio = zen::audio;

Transport::Transport(Deck& deck) : d_(deck) {
    timer1_.setTimerType(Qt::PreciseTimer);
    timer1_.setInterval(10);
    timer1_.callOnTimeout([this] { positionTick(); });
    fxTimer2_.setTimerType(Qt::PreciseTimer);
    fxTimer2_.setInterval(2);
    fxTimer2_.callOnTimeout([this] { loopTick(); });
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
    trackChanged();
}

void Transport::trackChanged() {
    if (timersRunning_ && d_.state.channel != 0)
        fxTimer2_.start();
    else
        fxTimer2_.stop();
    // The loop and its points outlive the channel they were set on.
    if (d_.state.LoopOn) applyLoop();
}

void Transport::applyLoop() {
    const DeckState& s = d_.state;
    if (s.LoopOn && s.LoopEnd > s.LoopStart)
        d_.engine.channelSetLoop(s.channel, s.LoopStart, s.LoopEnd);
    else
        d_.engine.channelSetLoop(s.channel, -1, -1);
}

audio::BytePosition Transport::position() const {
    return d_.engine.channelGetPosition(d_.state.channel);
}

void Transport::seek(audio::BytePosition bytes) {
    d_.engine.channelSetPosition(d_.state.channel, bytes);
}

bool Transport::pauseShown() const {
    return !d_.ui.cmdPause->isHidden();
}

void Transport::showPause(bool shown) {
    d_.ui.cmdPause->setVisible(shown);
}

void Transport::setLight(ZenButton* button, bool on) {
    button->setDotColor(on ? zen::kLightOnDot : zen::kLightOffDot);
    button->setOverColor(on ? zen::kLightOnOver : zen::kLightOffOver);
}

void Transport::Zen_Pause() {
    DeckState& s = d_.state;
    if (!s.Stopped) {
        d_.engine.channelStop(s.channel);
        showPause(false);
        s.Stopped = true;
    } else {
        d_.engine.streamPlay(s.channel, s.CuePoint, 0);
        showPause(true);
        s.Stopped = false;
    }
}

void Transport::Zen_Stop() {
    d_.engine.channelStop(d_.state.channel);
    seek(d_.state.CuePoint);
    showPause(false);
    d_.state.Stopped = true;
}

void Transport::Zen_CUE() {
    DeckState& s = d_.state;
    if (!s.CueHeld) {
        setLight(d_.ui.cmdCUE, true);
        s.CuePoint = position();
        s.CueHeld = true;
        tmrCue_.start();
    } else {
        setLight(d_.ui.cmdCUE, false);
        seek(s.CuePoint);
        tmrCue_.stop();
        s.CueHeld = false;
    }
}

void Transport::Zen_CueSet() {
    d_.state.CuePoint = position();
}

void Transport::Zen_CuePlay() {
    // One step for the sound: nothing of the old position may slip out between the two.
    const audio::CommandGroup group(d_.engine);
    d_.engine.streamPlay(d_.state.channel, d_.state.CuePoint, 0);
    seek(d_.state.CuePoint);
}

QString Transport::Zen_LoopStart() {
    d_.state.LoopStart = position();
    if (d_.state.LoopOn) applyLoop();
    return FormatTime(d_.engine, d_.state.channel, d_.state.LoopStart);
}

QString Transport::Zen_LoopEnd() {
    d_.state.LoopEnd = position();
    if (d_.state.LoopOn) applyLoop();
    return FormatTime(d_.engine, d_.state.channel, d_.state.LoopEnd);
}

QString Transport::Zen_FineDw(std::int16_t& Pwr) {
    d_.state.LoopEnd -= Pwr;
    if (d_.state.LoopOn) applyLoop();
    return FormatTime(d_.engine, d_.state.channel, d_.state.LoopEnd);
}

QString Transport::Zen_FineUp(std::int16_t& Pwr) {
    d_.state.LoopEnd += Pwr;
    if (d_.state.LoopOn) applyLoop();
    return FormatTime(d_.engine, d_.state.channel, d_.state.LoopEnd);
}

void Transport::toggleLoop() {
    DeckState& s = d_.state;
    if (s.LoopOn) {
        setLight(d_.ui.cmdLooped, false);
        s.LoopOn = false;
    } else {
        seek(s.LoopStart);
        setLight(d_.ui.cmdLooped, true);
        s.LoopOn = true;
    }
    applyLoop();
}

void Transport::seekToSlider() {
    seek(d_.ui.trkPosition->value());
}

void Transport::positionTick() {
    const audio::BytePosition p = position();
    d_.ui.trkPosition->setValue(p);
    d_.ui.lblPosition->setText(p == -1 ? QStringLiteral("- - : - - , - - -")
                                       : FormatTime(d_.engine, d_.state.channel, p));
}

void Transport::loopTick() {
    DeckState& s = d_.state;
    const audio::BytePosition p = position();
    d_.ui.trkPosition->setValue(p);
    if (p >= s.LoopEnd && s.LoopOn) seek(s.LoopStart);
    if (p == -1) return;
    const float len = d_.engine.channelBytes2Seconds(s.channel, d_.ui.trkPosition->maximum());
    const float now = d_.engine.channelBytes2Seconds(s.channel, d_.ui.trkPosition->value());
    if (!(static_cast<float>(len - 0.1) < now && pauseShown())) return;
    d_.engine.channelStop(s.channel);
    seek(0);
    showPause(false);
    s.Stopped = true;
    if (d_.ui.chkRepeat->isChecked()) {
        d_.engine.streamPreBuf(s.channel);
        d_.engine.streamPlay(s.channel, 0, audio::kPlayLoop);
        showPause(true);
        s.Stopped = false;
    }
}

void Transport::cueTick() {
    seek(d_.state.CuePoint);
}
