#include "deck/Loop.h"

#include "deck/DeckSnapshot.h"
#include "deck/LatchLight.h"
#include "deck/TimeText.h"
#include "deck/audio/AudioEngine.h"

#include <QLabel>

namespace audio = zen::audio;

Loop::Loop(audio::AudioEngine& engine, zen::deck::ChannelSource channel, const Controls& controls)
    : engine_(engine), channel_(std::move(channel)), controls_(controls) {}

audio::BytePosition Loop::position() const {
    return engine_.channelGetPosition(channel_());
}

void Loop::seek(audio::BytePosition bytes) {
    engine_.channelSetPosition(channel_(), bytes);
    if (changed_) changed_();
}

QString Loop::timeOf(audio::BytePosition bytes) const {
    return FormatTime(engine_, channel_(), bytes);
}

void Loop::applyLoop() {
    if (loopOn_ && loopEnd_ > loopStart_)
        engine_.channelSetLoop(channel_(), loopStart_, loopEnd_);
    else
        engine_.channelSetLoop(channel_(), -1, -1);
    if (changed_) changed_();
}

QString Loop::Zen_LoopStart() {
    loopStart_ = position();
    if (loopOn_) applyLoop();
    return timeOf(loopStart_);
}

QString Loop::endMoved() {
    if (loopOn_) applyLoop();
    return timeOf(loopEnd_);
}

QString Loop::Zen_LoopEnd() {
    loopEnd_ = position();
    return endMoved();
}

QString Loop::Zen_FineDw(std::int16_t step) {
    loopEnd_ -= step;
    return endMoved();
}

QString Loop::Zen_FineUp(std::int16_t step) {
    loopEnd_ += step;
    return endMoved();
}

void Loop::startPressed() {
    controls_.startTime->setText(Zen_LoopStart());
}

void Loop::endPressed() {
    controls_.endTime->setText(Zen_LoopEnd());
}

void Loop::fineDownClicked() {
    controls_.endTime->setText(Zen_FineDw(kFineStep));
}

void Loop::fineUpClicked() {
    controls_.endTime->setText(Zen_FineUp(kFineStep));
}

void Loop::toggleLoop() {
    if (!loopOn_) seek(loopStart_);
    loopOn_ = !loopOn_;
    showLatched(*controls_.cmdLooped, loopOn_);
    applyLoop();
}

void Loop::watch(audio::BytePosition position) {
    if (position >= loopEnd_ && loopOn_) seek(loopStart_);
}

bool Loop::needsWatch(audio::BytePosition position) const {
    return loopOn_ && (loopEnd_ <= loopStart_ || position >= loopEnd_);
}

void Loop::trackChanged() {
    // The loop and its points outlive the channel they were set on.
    if (loopOn_) applyLoop();
}

void Loop::save(DeckSnapshot& snapshot) const {
    snapshot.loopStart = loopStart_;
    snapshot.loopEnd = loopEnd_;
    snapshot.loopOn = loopOn_;
}

void Loop::restore(const DeckSnapshot& snapshot) {
    loopStart_ = snapshot.loopStart;
    loopEnd_ = snapshot.loopEnd;
    loopOn_ = snapshot.loopOn;
    if (loopStart_ != 0 || loopEnd_ != 0 || loopOn_) {
        controls_.startTime->setText(timeOf(loopStart_));
        controls_.endTime->setText(timeOf(loopEnd_));
    }
    showLatched(*controls_.cmdLooped, loopOn_);
    applyLoop();
}
