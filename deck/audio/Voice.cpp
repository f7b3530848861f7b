#include "deck/audio/Voice.h"

#include <algorithm>
#include <cmath>

namespace zen::audio {

namespace {
constexpr float kFromInt16 = 1.0f / 32768.0f;
// After a change of rate, a voice renders only what is heard for this long: a fader or a bend sends
// its changes in a stream, and each would bring the rendering back from ahead.
constexpr double kHoldAheadSeconds = 0.5;
// Outputs from this rate on are rendered at half their rate and upsampled.
constexpr double kHalvingFrom = 88200;
// Input frames the resampler may hold beyond the frame being heard, restarts included (its
// oversampler reads ahead in blocks: up to 2400 frames were measured).
constexpr double kConverterAhead = 4096;

// Raised cosine, k = 1 .. length: the gain of the k-th frame of a fade-in.
float fadeIn(std::int64_t k, std::int64_t length = Voice::kFade) {
    const float s = std::sin(static_cast<float>(M_PI_2) * (k - 0.5f) / static_cast<float>(length));
    return s * s;
}
} // namespace

void Voice::Slide::set(double value, int timeMs, double outputRate) {
    target = value;
    remaining =
        timeMs > 0 ? static_cast<std::int64_t>(std::llround(timeMs * outputRate / 1000.0)) : 0;
    if (remaining == 0) {
        current = value;
        step = 0;
    } else {
        step = (target - current) / static_cast<double>(remaining);
    }
}

void Voice::Slide::advance(int frames) {
    if (remaining == 0) return;
    if (frames >= remaining) {
        current = target;
        remaining = 0;
    } else {
        current += step * frames;
        remaining -= frames;
    }
}

double Voice::maxRate(double ownRate) {
    return std::max(100000.0, 2 * ownRate);
}

Voice::Voice(std::shared_ptr<const PcmTrack> track, bool module, double outputRate)
    : track_(std::move(track)), module_(module), channels_(track_->channels() == 1 ? 1 : 2) {
    rate_.set(track_->sampleRate(), 0, outputRate);
    volume_.set(100, 0, outputRate);
    pan_.set(0, 0, outputRate);
    useOutputRate(outputRate);
    mode_ = modeFor(rate_.current, rate_.current);
    cachedEnd_ = track_->lengthFrames();
    heardRate_ = rate_.current;
    publish(0);
}

void Voice::setOutputRate(double rate) {
    if (rate == (halving_ ? 2 : 1) * renderRate_) return;
    // What was rendered ahead is at the old rate.
    comeBack(false);
    holdAhead_ = 0;
    const double old = renderRate_;
    const double heard = playing_ ? behind(pos_, run_, rate_.current) : pos_;
    useOutputRate(rate);
    // Slides keep their time; the fade of the old rate's frames is dropped.
    for (Slide* slide : {&rate_, &volume_, &pan_})
        if (slide->remaining > 0) {
            slide->remaining = std::max<std::int64_t>(
                1, std::llround(static_cast<double>(slide->remaining) * renderRate_ / old));
            slide->step = (slide->target - slide->current) / static_cast<double>(slide->remaining);
        }
    fadeLeft_ = 0;
    ringLeft_ = 0;
    mode_ = modeFor(rate_.current, rate_.target);
    restartAt(playing_ ? ahead(heard) : pos_);
}

void Voice::useOutputRate(double outputRate) {
    halving_ = outputRate >= kHalvingFrom;
    const double rate = halving_ ? outputRate / 2 : outputRate;
    upsampler_.reset();
    lag_ = halving_ ? Upsampler::kDelay / 2.0 : 0;
    renderRate_ = rate;
    fade_ =
        std::min(static_cast<int>(std::lround(kFade * rate / 44100 - std::ceil(lag_))), kMaxFade);
    meterChunk_ = std::max(1, static_cast<int>(std::lround(64 * rate / 44100)));
    varispeed_ = std::make_unique<Varispeed>(channels_, rate_.current / rate,
                                             maxRate(track_->sampleRate()) / rate,
                                             &Voice::feedConverter, this);
    for (ParamEqFilter& band : eq_)
        band.setSampleRate(renderRate_);
    scope_.setRate(renderRate_);
}

std::int64_t Voice::endFrame() const {
    return cachedEnd_;
}

void Voice::readFrame(std::int64_t frame, float& left, float& right) const {
    const std::int16_t* data = track_->data();
    if (channels_ == 1) {
        left = right = data[frame] * kFromInt16;
    } else {
        left = data[2 * frame] * kFromInt16;
        right = data[2 * frame + 1] * kFromInt16;
    }
}

Voice::Mode Voice::modeFor(double rate0, double rate1) const {
    return std::min(rate0, rate1) < kLinearBelowRatio * renderRate_ ? Mode::Linear : Mode::Sinc;
}

std::int64_t Voice::needFor(int frames) const {
    // This block, a crossfade tail after it, and the converter's read-ahead.
    const double fastest = std::max(rate_.current, rate_.target) / renderRate_;
    const auto ahead = static_cast<std::int64_t>(
        std::ceil((frames + fade_) * fastest + kConverterAhead * std::max(1.0, fastest)));
    return std::min(static_cast<std::int64_t>(pos_) + ahead, track_->lengthFrames());
}

float Voice::trackWrapGain(std::int64_t frame, bool wrapped) const {
    const std::int64_t end = endFrame();
    if (!loop_) return 1;
    if (frame >= end - kFade && frame < end) return fadeIn(end - frame);
    if (wrapped && frame >= 0 && frame < kFade) return fadeIn(frame + 1);
    return 1;
}

void Voice::readFaded(std::int64_t frame, bool wrapped, float& left, float& right) const {
    left = right = 0;
    if (frame < 0 || frame >= endFrame()) return;
    readFrame(frame, left, right);
    const float gain = trackWrapGain(frame, wrapped);
    left *= gain;
    right *= gain;
}

void Voice::feedConverter(void* self, float* out, int count) {
    auto* v = static_cast<Voice*>(self);
    const std::int64_t end = v->endFrame();
    const auto loopStart = static_cast<std::int64_t>(v->run_.loopStart);
    const auto loopEnd = static_cast<std::int64_t>(v->run_.loopEnd);
    // Most of the time the converter reads a stretch of the track with no seam, fade or end in it:
    // the samples as they are.
    const std::int64_t from = v->feedCursor_;
    const std::int64_t plainEnd =
        std::min(v->feedLoopArmed_ ? loopEnd : end, v->loop_ ? end - kFade : end);
    if (v->feedFadeLeft_ == 0 && from >= (v->loop_ && v->feedWrapped_ ? kFade : 0) &&
        from + count <= plainEnd) {
        const std::int16_t* data = v->track_->data() + v->channels_ * from;
        for (int i = 0; i < v->channels_ * count; ++i)
            out[i] = data[i] * kFromInt16;
        v->feedCursor_ = from + count;
        return;
    }
    for (int i = 0; i < count; ++i) {
        std::int64_t f = v->feedCursor_;
        if (v->feedLoopArmed_ && f >= loopEnd) {
            // The loop wraps here in the input, so the converter's phase runs on through it; what
            // follows the loop end fades out under the loop start. A loop shorter than half a
            // fade is a buzz, not music: it fades only when the last fade is half done.
            f = loopStart;
            if (2 * v->feedFadeLeft_ <= v->feedFadeLength_) {
                v->feedFadeLength_ =
                    std::max<std::int64_t>(1, std::llround(v->fade_ * v->varispeed_->ratio()));
                v->feedFadeLeft_ = v->feedFadeLength_;
                v->feedFadeFrom_ = loopEnd;
            }
        }
        if (f >= end && v->loop_ && end > 0) {
            f = 0;
            v->feedWrapped_ = true;
            v->feedLoopArmed_ = loopEnd > loopStart && loopEnd > 0;
        }
        float l, r;
        v->readFaded(f, v->feedWrapped_, l, r);
        if (v->feedFadeLeft_ > 0) {
            const float in = fadeIn(v->feedFadeLength_ - v->feedFadeLeft_ + 1, v->feedFadeLength_);
            float pastL, pastR;
            v->readFaded(v->feedFadeFrom_++, false, pastL, pastR);
            l = l * in + pastL * (1 - in);
            r = r * in + pastR * (1 - in);
            --v->feedFadeLeft_;
        }
        if (v->channels_ == 1) {
            out[i] = l;
        } else {
            out[2 * i] = l;
            out[2 * i + 1] = r;
        }
        v->feedCursor_ = f + 1;
    }
}

int Voice::renderLinear(float* out, int frames, double rate0, double rate1) {
    const std::int64_t end = endFrame();
    double p = pos_;
    int i = 0;
    for (; i < frames; ++i) {
        if (p >= static_cast<double>(end)) {
            if (!loop_ || end == 0) break;
            p -= static_cast<double>(end);
            trackWrapped_ = true;
        }
        const auto i0 = static_cast<std::int64_t>(p);
        const float frac = static_cast<float>(p - static_cast<double>(i0));
        float l0, r0, l1 = 0, r1 = 0;
        readFrame(i0, l0, r0);
        if (i0 + 1 < end)
            readFrame(i0 + 1, l1, r1);
        else if (loop_)
            readFrame(0, l1, r1);
        const float gain = trackWrapGain(i0, trackWrapped_);
        out[2 * i] = (l0 + (l1 - l0) * frac) * gain;
        out[2 * i + 1] = (r0 + (r1 - r0) * frac) * gain;
        p += (rate0 + (rate1 - rate0) * (i + 0.5) / frames) / renderRate_;
    }
    pos_ = p;
    return i;
}

int Voice::renderSinc(float* out, int frames, double rate) {
    // The converter takes the block's ratio at its start.
    if (resyncPending_) resync();
    const double step = rate / renderRate_;
    varispeed_->setRatio(step);
    float* dst = channels_ == 2 ? out : mono_.data();
    varispeed_->render(dst, frames);
    if (channels_ == 1)
        for (auto i = static_cast<std::size_t>(frames); i-- > 0;)
            out[2 * i] = out[2 * i + 1] = mono_[i];

    double after = pos_ + frames * step;
    // The converter's input wrapped at the loop end; the position follows it.
    if (loopArmed() && after >= run_.loopEnd) {
        after = run_.loopStart + std::fmod(after - run_.loopEnd, run_.loopEnd - run_.loopStart);
        run_.looped = true;
    }
    const double end = static_cast<double>(endFrame());
    if (after < end) {
        pos_ = after;
        return frames;
    }
    if (loop_ && end > 0) {
        pos_ = std::fmod(after, end);
        return frames;
    }
    const int valid = std::clamp(static_cast<int>(std::ceil((end - pos_) / step)), 0, frames);
    pos_ = end;
    return valid;
}

int Voice::framesBeforeLoopEnd(int frames, double rate0, double rate1) const {
    const double end = run_.loopEnd;
    // The same steps renderLinear takes.
    double p = pos_;
    int i = 0;
    for (; i < frames && p < end; ++i)
        p += (rate0 + (rate1 - rate0) * (i + 0.5) / frames) / renderRate_;
    return i;
}

int Voice::renderRaw(float* out, int frames, double rate0, double rate1, Mode mode) {
    int valid = 0;
    switch (mode) {
    case Mode::Linear:
        valid = renderLinear(out, frames, rate0, rate1);
        break;
    case Mode::Sinc:
        valid = renderSinc(out, frames, rate1);
        break;
    }
    std::fill(out + 2 * valid, out + 2 * frames, 0.0f);
    return valid;
}

void Voice::mixFade(float* out, int frames) {
    const int n = std::min(frames, fadeLeft_);
    for (int i = 0; i < n; ++i) {
        const int k = fade_ - fadeLeft_ + i;
        // Raised-cosine crossfade: smooth at both ends, so neither side clicks.
        const float in = fadeIn(k + 1, fade_);
        const float* tail = tail_.data() + 2 * k;
        out[2 * i] = out[2 * i] * in + tail[0] * (1.0f - in);
        out[2 * i + 1] = out[2 * i + 1] * in + tail[1] * (1.0f - in);
    }
    fadeLeft_ -= n;
}

bool Voice::readable(int frames) {
    // Read `finished` before the count, so a finished track's count is final.
    const bool finished = track_->finished();
    const std::int64_t decoded = track_->decodedFrames();
    cachedEnd_ = finished ? decoded : track_->lengthFrames();
    return finished || decoded >= needFor(frames);
}

void Voice::captureTail(double rate) {
    // Started and moved within one block (play then seek, as cue-play does): nothing of the first
    // position was heard, so the fade-in from silence simply goes on at the new one.
    if (unheard_) return;
    // The resampler runs on through the tail (it is never reset); only the position comes back.
    const double savedPos = pos_;
    const PlayRun savedRun = run_;
    // Not in work_: a loop wraps in the middle of a block that is being rendered there.
    float* tmp = scratch_.data();
    // Where the decoder has not been yet there is nothing to fade out.
    if (readable(fade_))
        renderRaw(tmp, fade_, rate, rate, mode_);
    else
        std::fill(tmp, tmp + 2 * fade_, 0.0f);
    mixFade(tmp, fade_);
    std::copy(tmp, tmp + 2 * fade_, tail_.begin());
    fadeLeft_ = fade_;
    pos_ = savedPos;
    run_ = savedRun;
}

void Voice::restartAt(double frame) {
    // The fraction is kept, so that a loop wrap carries the phase and each pass lasts exactly the
    // loop's length.
    pos_ = frame;
    ended_ = false;
    trackWrapped_ = feedWrapped_ = false;
    // The resampler goes on from the new place once its frames are decoded, at the next render.
    resyncPending_ = mode_ == Mode::Sinc;
}

void Voice::resync() {
    // Its input is spliced here and its next output lands on the position exactly.
    resyncPending_ = false;
    varispeed_->setRatio(rate_.current / renderRate_);
    feedCursor_ = varispeed_->plan(pos_);
    feedLoopArmed_ = loopArmed();
    feedFadeLeft_ = 0;
    varispeed_->run();
}

double Voice::ahead(double heard) const {
    double p = run_.follow(heard, lagSource());
    const auto end = static_cast<double>(endFrame());
    if (loop_ && end > 0 && p >= end) p = std::fmod(p, end);
    return p;
}

void Voice::beginRun(double heard) {
    run_.start = heard;
    run_.looped = false;
    // Until a block is heard, the report must not pair the new run with the last block's start.
    heardFrom_ = heardTo_ = pos_;
    heardAdvanced_ = 0;
    heardRun_ = run_;
}

void Voice::wrapLoop(double rate) {
    const double period = run_.loopEnd - run_.loopStart;
    const double past = std::fmod(pos_ - run_.loopEnd, period);
    // What would have followed the loop end fades out under the loop start. A loop shorter than
    // half a crossfade is a buzz, not music; fading at every turn of it would render a tail
    // every few frames, so it fades only when the last fade is half done.
    if (fadeLeft_ <= fade_ / 2) captureTail(rate);
    restartAt(run_.loopStart + past);
    run_.looped = true;
}

int Voice::renderPlaying(float* out, int frames, double rate0, double rate1) {
    int done = 0;
    while (done < frames) {
        const double from = rate0 + (rate1 - rate0) * done / frames;
        // The resampler wraps loops in its input, where the phase runs on.
        const bool armed = mode_ != Mode::Sinc && loopArmed();
        const int n = armed ? framesBeforeLoopEnd(frames - done, from, rate1) : frames - done;
        const double to = rate0 + (rate1 - rate0) * (done + n) / frames;
        const int valid = renderRaw(out + 2 * done, n, from, to, mode_);
        advanced_ += (from + to) / 2.0 * valid / renderRate_;
        mixFade(out + 2 * done, n);
        done += n;
        if (valid < n) {
            // The end of the track: silence, under what is left of a fade, for the rest.
            ended_ = true;
            std::fill(out + 2 * done, out + 2 * frames, 0.0f);
            mixFade(out + 2 * done, frames - done);
            return done - n + valid;
        }
        if (armed && pos_ >= run_.loopEnd) wrapLoop(to);
    }
    return frames;
}

void Voice::apply(const Command& command, double latencyFrames) {
    switch (command.type) {
    case Command::Type::Play:
        // What was rendered ahead wrapped at the track's end, or did not, by the old flag.
        if (playing_ && heard_ < aheadFrames_ && command.loop != loop_) comeBack(true);
        loop_ = command.loop;
        if (!playing_) {
            mode_ = modeFor(rate_.current, rate_.target);
            const double heard = pos_;
            restartAt(ahead(heard));
            beginRun(heard);
            if (fadeLeft_ == 0) {
                tail_.fill(0.0f);
                fadeLeft_ = fade_;
            }
            chunkPeaks_.fill(0.0f);
            runningPeak_[0] = runningPeak_[1] = 0;
            playing_ = true;
            unheard_ = true;
        }
        break;
    case Command::Type::Stop:
        if (playing_) {
            comeBack(true);
            playing_ = false;
            // Keep the position that was heard, not the one rendered ahead of the speaker.
            const double back =
                latencyFrames * rate_.current / (halving_ ? 2 * renderRate_ : renderRate_) +
                lagSource();
            if (pos_ >= run_.start || run_.looped) pos_ = std::max(run_.follow(pos_, -back), 0.0);
        }
        break;
    case Command::Type::Seek:
        if (playing_) comeBack(true);
        mode_ = modeFor(rate_.current, rate_.target);
        restartAt(playing_ ? ahead(static_cast<double>(command.frame))
                           : static_cast<double>(command.frame));
        beginRun(static_cast<double>(command.frame));
        break;
    case Command::Type::SetLoop: {
        // Acts from the next frame on. An end already behind the position wraps only when
        // playback comes round to it again; the deck's loop watch seeks back by itself.
        const double start = command.endFrame > command.frame ? command.frame : 0;
        const double end = command.endFrame > command.frame ? command.endFrame : 0;
        if (start == run_.loopStart && end == run_.loopEnd) break;
        // The resampler's input, and what was rendered ahead, run ahead of what is heard: the
        // rendering goes on from here with the new loop.
        const bool resync = playing_ && (mode_ == Mode::Sinc || heard_ < aheadFrames_);
        if (resync) comeBack(true);
        run_.loopStart = start;
        run_.loopEnd = end;
        if (resync) restartAt(pos_);
        break;
    }
    case Command::Type::Slide:
        if (command.setRate) {
            const Slide heard = pointAt(heard_).rate;
            if (heard.remaining > 0 || command.rate != heard.current) {
                if (playing_ && heard_ < aheadFrames_) comeBack(true);
                holdAhead_ = static_cast<std::int64_t>(kHoldAheadSeconds * renderRate_);
            }
            rate_.set(command.rate, command.timeMs, renderRate_);
            heardRate_ = rate_.current;
        }
        if (command.setVolume) volume_.set(command.volume, command.timeMs, renderRate_);
        if (command.setPan) pan_.set(command.pan, command.timeMs, renderRate_);
        break;
    case Command::Type::SetEq:
        if (command.slot >= 0 && command.slot < kMaxEqBands) {
            const auto slot = static_cast<std::size_t>(command.slot);
            if (!eqOn_[slot]) eq_[slot].reset();
            eqOn_[slot] = true;
            eq_[slot].set(command.centre, command.bandwidth, command.gain);
        }
        break;
    default:
        break;
    }
    ack_ = command.seq;
}

void Voice::retire(bool fade) {
    retiring_ = true;
    if (playing_) comeBack(fade);
    playing_ = false;
    if (!fade) fadeLeft_ = 0;
}

void Voice::meter(const float* stereo, int frames) {
    for (int i = 0; i < frames; ++i) {
        runningPeak_[0] = std::max(runningPeak_[0], std::abs(stereo[2 * i]));
        runningPeak_[1] = std::max(runningPeak_[1], std::abs(stereo[2 * i + 1]));
        if (++chunkFill_ == meterChunk_) {
            chunkPeaks_[2 * chunkIndex_] = runningPeak_[0];
            chunkPeaks_[2 * chunkIndex_ + 1] = runningPeak_[1];
            chunkIndex_ = (chunkIndex_ + 1) % kMeterChunks;
            chunkFill_ = 0;
            runningPeak_[0] = runningPeak_[1] = 0;
        }
    }
}

int Voice::renderBlock(float* out, int frames) {
    const double rate0 = rate_.current;
    advanced_ = 0;
    rate_.advance(frames);
    const double rate1 = rate_.current;
    const Mode mode = modeFor(rate0, rate1);
    if (mode != mode_) {
        captureTail(rate0);
        mode_ = mode;
        restartAt(pos_);
    }
    return renderPlaying(out, frames, rate0, rate1);
}

void Voice::renderVoice(float* out, int frames) {
    unheard_ = false;
    if (playing_) {
        hear(out, frames);
    } else {
        // Stopped and fading out.
        std::fill(out, out + 2 * frames, 0.0f);
        mixFade(out, frames);
    }
    std::array<ParamEqFilter*, kMaxEqBands> bands;
    int count = 0;
    for (std::size_t b = 0; b < eq_.size(); ++b)
        if (eqOn_[b]) bands[static_cast<std::size_t>(count++)] = &eq_[b];
    ParamEqFilter::processChain(bands.data(), count, out, frames);
    meter(out, frames);
    for (std::size_t i = 0; i < static_cast<std::size_t>(frames); ++i)
        mono_[i] = 0.5f * (out[2 * i] + out[2 * i + 1]);
    scope_.append(mono_.data(), static_cast<std::size_t>(frames));
}

void Voice::render(float* mix, int frames, int globalVolume) {
    const int rendered = halving_ ? upsampler_.inputFor(frames) : frames;
    if (!audible()) {
        if (halving_) upsampler_.skip(frames);
        rate_.advance(rendered);
        volume_.advance(rendered);
        pan_.advance(rendered);
        return;
    }
    const bool sounding = playing_ || fadeLeft_ > 0;
    float* out = work_.data();
    renderVoice(out, rendered);
    if (halving_) {
        // Silence from here on is silent at the output once it has filled the filter.
        ringLeft_ = sounding ? Upsampler::kTaps : std::max(0, ringLeft_ - rendered);
        upsampler_.process(out, upsampled_.data(), frames);
        out = upsampled_.data();
    }

    volume_.advance(rendered);
    pan_.advance(rendered);
    const float gain = static_cast<float>(volume_.current / 100.0 * globalVolume / 100.0);
    const float pan = static_cast<float>(pan_.current / 100.0);
    const float target[2] = {gain * (pan > 0 ? 1.0f - pan : 1.0f),
                             gain * (pan < 0 ? 1.0f + pan : 1.0f)};
    for (int c = 0; c < 2; ++c) {
        const float start = lastGain_[c] < 0 ? target[c] : lastGain_[c];
        const float step = (target[c] - start) / frames;
        for (int i = 0; i < frames; ++i)
            mix[2 * i + c] += out[2 * i + c] * (start + step * (i + 1));
        lastGain_[c] = target[c];
    }
}

void Voice::publish(std::int64_t nowNs) {
    VoiceReport r;
    r.ack = ack_;
    r.playing = playing_;
    r.renderedFrom = playing_ ? behind(heardFrom_, heardRun_, heardRate_) : pos_;
    r.renderedTo = playing_ ? behind(heardTo_, heardRun_, heardRate_) : pos_;
    r.advanced = playing_ ? heardAdvanced_ : 0;
    r.run = playing_ ? heardRun_ : run_;
    r.blockTimeNs = nowNs;
    r.rate = playing_ ? heardRate_ : rate_.current;
    r.volume = static_cast<float>(volume_.current);
    r.pan = static_cast<float>(pan_.current);
    float peak[2] = {runningPeak_[0], runningPeak_[1]};
    for (std::size_t i = 0; i < kMeterChunks; ++i) {
        peak[0] = std::max(peak[0], chunkPeaks_[2 * i]);
        peak[1] = std::max(peak[1], chunkPeaks_[2 * i + 1]);
    }
    const auto left =
        std::min<std::int32_t>(128, static_cast<std::int32_t>(std::lround(peak[0] * 128)));
    const auto right =
        std::min<std::int32_t>(128, static_cast<std::int32_t>(std::lround(peak[1] * 128)));
    r.level = left | (right << 16);
    report_.write(r);
}

} // namespace zen::audio
