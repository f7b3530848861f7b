#include "deck/audio/Mixer.h"

#include <algorithm>
#include <chrono>
#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace zen::audio {

namespace {
// The CPU figure is the busy share over the last ~0.25 s of audio.
constexpr double kCpuWindowSeconds = 0.25;
} // namespace

Mixer::Mixer() = default;

void Mixer::applyCommands(std::int64_t now) {
    Command c;
    while (commands_.pop(c)) {
        switch (c.type) {
        case Command::Type::AddVoice:
            if (voiceCount_ < kMaxVoices) voices_[voiceCount_++] = c.voice;
            c.voice->setPeriod(period_);
            c.voice->publish(now);
            break;
        case Command::Type::RemoveVoice:
            // A freed channel that still sounds fades out first, so a load over a playing
            // track does not click; it is handed back once silent.
            c.voice->retire(c.fade);
            if (!c.voice->audible()) handBack(c.voice);
            break;
        case Command::Type::GlobalVolumes:
            musicVolume_ = c.music;
            streamVolume_ = c.stream;
            break;
        default:
            c.voice->apply(c, latencyFrames_.load(std::memory_order_relaxed));
            c.voice->publish(now);
            break;
        }
    }
}

void Mixer::setOutputRate(double rate) {
    outputRate_ = rate;
    for (std::size_t i = 0; i < voiceCount_; ++i)
        voices_[i]->setOutputRate(rate);
}

void Mixer::drainCommands() {
    applyCommands(steadyNs());
}

void Mixer::handBack(Voice* voice) {
    auto* end = voices_.begin() + voiceCount_;
    auto* it = std::find(voices_.begin(), end, voice);
    if (it != end) {
        std::copy(it + 1, end, it);
        --voiceCount_;
    }
    // Capacity is twice the voice limit, so the push cannot fail.
    retired_.push(voice);
}

void Mixer::releaseAll() {
    while (voiceCount_ > 0)
        handBack(voices_[voiceCount_ - 1]);
}

void Mixer::renderBlock(float* stereo, int frames, std::int64_t blockNs) {
    std::fill(stereo, stereo + 2 * frames, 0.0f);
    for (std::size_t i = 0; i < voiceCount_; ++i) {
        Voice* v = voices_[i];
        const bool was = v->audible();
        v->render(stereo, frames, v->module() ? musicVolume_ : streamVolume_);
        if (was) v->publish(blockNs);
    }
    for (std::size_t i = voiceCount_; i-- > 0;)
        if (voices_[i]->retiring() && !voices_[i]->audible()) handBack(voices_[i]);
}

void Mixer::process(float* out, int frames, int outChannels) {
#if defined(__SSE__)
    // Flush denormals to zero: a decaying filter tail must not cost a hundred times more.
    const unsigned savedCsr = _mm_getcsr();
    _mm_setcsr(savedCsr | 0x8040);
#endif
    const std::int64_t start = steadyNs();
    if (frames != period_) {
        period_ = frames;
        for (std::size_t i = 0; i < voiceCount_; ++i)
            voices_[i]->setPeriod(frames);
    }
    applyCommands(start);
    int done = 0;
    while (done < frames) {
        const int n = std::min(frames - done, 256);
        renderBlock(block_.data(), n, start + static_cast<std::int64_t>(done * 1e9 / outputRate_));
        float* dst = out + static_cast<std::ptrdiff_t>(done) * outChannels;
        for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
            const float l = std::clamp(block_[2 * i], -1.0f, 1.0f);
            const float r = std::clamp(block_[2 * i + 1], -1.0f, 1.0f);
            if (outChannels == 1) {
                dst[i] = 0.5f * (l + r);
            } else {
                dst[2 * i] = l;
                dst[2 * i + 1] = r;
            }
        }
        done += n;
    }
    busyNs_ += steadyNs() - start;
    audioFrames_ += frames;
    if (audioFrames_ >= kCpuWindowSeconds * outputRate_) {
        const double audioNs = audioFrames_ * 1e9 / outputRate_;
        cpu_.store(static_cast<float>(100.0 * busyNs_ / audioNs), std::memory_order_relaxed);
        busyNs_ = 0;
        audioFrames_ = 0;
    }
#if defined(__SSE__)
    _mm_setcsr(savedCsr);
#endif
}

} // namespace zen::audio
