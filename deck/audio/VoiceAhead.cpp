#include "deck/audio/Voice.h"

#include <algorithm>
#include <cmath>

// The voice rendering ahead of what is heard (see Voice.h): handing out what it rendered, knowing
// where each frame of it played from, and coming back to the frame about to be heard.
namespace zen::audio {

void Voice::hear(float* out, int frames) {
    holdAhead_ = std::max<std::int64_t>(0, holdAhead_ - frames);
    int done = 0;
    while (done < frames && playing_) {
        if (heard_ == aheadFrames_) {
            renderAhead(frames - done);
            if (aheadFrames_ == 0) break;
        }
        const int n = std::min(frames - done, aheadFrames_ - heard_);
        hearAhead(out + 2 * done, n, done == 0);
        done += n;
    }
    if (done == frames) return;
    // The end of the track was heard, or the decoder has not caught up (the sound pauses, the
    // position waits): silence, under what is left of a fade, for the rest.
    std::fill(out + 2 * done, out + 2 * frames, 0.0f);
    mixFade(out + 2 * done, frames - done);
    if (done == 0) {
        heardFrom_ = heardTo_ = pos_;
        heardAdvanced_ = 0;
        heardRun_ = run_;
        heardRate_ = rate_.current;
    }
}

void Voice::renderAhead(int frames) {
    heard_ = aheadFrames_ = aheadBlockCount_ = 0;
    const int periods = kAheadPeriods * (halving_ ? (period_ + 1) / 2 : period_);
    // A restart renders unheard frames of its own: the block that does it renders no more.
    const int target =
        holdAhead_ > 0 || resyncPending_ ? frames : std::clamp(periods, frames, kAhead);
    while (aheadFrames_ < target && !ended_) {
        const int n = std::min(kBlock, target - aheadFrames_);
        if (!readable(n)) break;
        AheadBlock& block = aheadBlocks_[static_cast<std::size_t>(aheadBlockCount_++)];
        block.frames = n;
        block.from = pos_;
        block.run = run_;
        block.rate = rate_;
        block.valid = renderBlock(ahead_.data() + 2 * aheadFrames_, n);
        block.mode = mode_;
        block.advanced = advanced_;
        aheadFrames_ += n;
    }
}

void Voice::hearAhead(float* out, int frames, bool first) {
    const Point from = pointAt(heard_);
    std::copy(ahead_.begin() + 2 * heard_, ahead_.begin() + 2 * (heard_ + frames), out);
    heard_ += frames;
    const Point to = pointAt(heard_);
    if (first) {
        heardFrom_ = from.pos;
        heardAdvanced_ = 0;
    }
    heardAdvanced_ += to.advanced - from.advanced;
    heardTo_ = to.pos;
    heardRun_ = to.run;
    heardRate_ = to.rate.current;
    if (to.ended) {
        // What follows the end is silence.
        playing_ = false;
        heard_ = aheadFrames_ = aheadBlockCount_ = 0;
    }
}

Voice::Point Voice::pointAt(int frame) const {
    Point p;
    int start = 0;
    for (std::size_t k = 0; k < static_cast<std::size_t>(aheadBlockCount_); ++k) {
        const AheadBlock& block = aheadBlocks_[k];
        if (frame < start + block.frames) {
            // Within a block the rate moves evenly, and so does the position.
            const int into = frame - start;
            const double delta =
                block.valid > 0 ? block.advanced * std::min(into, block.valid) / block.valid : 0;
            const PlayRun& run = block.run;
            p.pos = run.follow(block.from, delta);
            const auto end = static_cast<double>(endFrame());
            if (loop_ && end > 0 && p.pos >= end) p.pos = std::fmod(p.pos, end);
            p.advanced += delta;
            p.run = run;
            p.run.looped = run.looped || (run.loopEnd > run.loopStart && block.from < run.loopEnd &&
                                          block.from + delta >= run.loopEnd);
            p.rate = block.rate;
            p.rate.advance(into);
            p.mode = block.mode;
            p.ended = block.valid < block.frames && into >= block.valid;
            return p;
        }
        start += block.frames;
        p.advanced += block.advanced;
    }
    p.pos = pos_;
    p.run = run_;
    p.rate = rate_;
    p.mode = mode_;
    p.ended = ended_;
    return p;
}

void Voice::comeBack(bool fade) {
    if (heard_ == aheadFrames_) {
        // The rendering is where the sound is.
        heard_ = aheadFrames_ = aheadBlockCount_ = 0;
        if (fade) captureTail(rate_.current);
        return;
    }
    const Point here = pointAt(heard_);
    if (fade) {
        // What was rendered ahead from here, and what follows it where that is shorter.
        float* tmp = scratch_.data();
        const int have = std::min(fade_, aheadFrames_ - heard_);
        std::copy(ahead_.begin() + 2 * heard_, ahead_.begin() + 2 * (heard_ + have), tmp);
        if (const int rest = fade_ - have; rest > 0) {
            if (readable(rest))
                renderRaw(tmp + 2 * have, rest, rate_.current, rate_.current, mode_);
            else
                std::fill(tmp + 2 * have, tmp + 2 * fade_, 0.0f);
            mixFade(tmp + 2 * have, rest);
        }
        std::copy(tmp, tmp + 2 * fade_, tail_.begin());
        fadeLeft_ = fade_;
    }
    pos_ = here.pos;
    run_ = here.run;
    rate_ = here.rate;
    mode_ = here.mode;
    heard_ = aheadFrames_ = aheadBlockCount_ = 0;
    restartAt(pos_);
}

} // namespace zen::audio
