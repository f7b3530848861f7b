#include "deck/audio/Upsampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zen::audio {

namespace {
// 109 dB of stopband from 28 % of the output's rate with kTaps = 60 (0.00003 dB of ripple).
constexpr double kKaiserBeta = 11;
static_assert(2 * Upsampler::kTaps % 4 == 0, "the sum runs four floats at a time");

using Lanes = float __attribute__((vector_size(16)));
Lanes load(const float* p) {
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
} // namespace

Upsampler::Upsampler() {
    // Tap i of the interpolated phase lies 2i - kDelay output frames from the centre.
    const double norm = std::cyl_bessel_i(0.0, kKaiserBeta);
    for (std::size_t i = 0; i < kTaps; ++i) {
        const double n = 2.0 * static_cast<double>(i) - kDelay;
        const double r = n / kDelay;
        const double window = std::cyl_bessel_i(0.0, kKaiserBeta * std::sqrt(1 - r * r)) / norm;
        const auto c = static_cast<float>(std::sin(M_PI * n / 2) / (M_PI * n / 2) * window);
        coefficients_[2 * i] = coefficients_[2 * i + 1] = c;
    }
}

void Upsampler::reset() {
    history_.fill(0.0f);
    head_ = 0;
    pending_ = false;
}

void Upsampler::skip(int outFrames) {
    if (pending_ && outFrames > 0) {
        --outFrames;
        pending_ = false;
    }
    pending_ = outFrames % 2 == 1;
    held_[0] = held_[1] = 0;
}

void Upsampler::push(const float* frame) {
    head_ = head_ == 0 ? kTaps - 1 : head_ - 1;
    for (int c = 0; c < 2; ++c) {
        history_[static_cast<std::size_t>(2 * head_ + c)] = frame[c];
        history_[static_cast<std::size_t>(2 * (head_ + kTaps) + c)] = frame[c];
    }
}

void Upsampler::process(const float* in, float* out, int outFrames) {
    int o = 0;
    if (pending_ && outFrames > 0) {
        out[0] = held_[0];
        out[1] = held_[1];
        pending_ = false;
        o = 1;
    }
    for (; o < outFrames; o += 2, in += 2) {
        push(in);
        // history_ from head_ on holds the newest frame first.
        const float* x = history_.data() + 2 * head_;
        // Lanes of two frames each, in four chains so that the additions overlap.
        const float* c = coefficients_.data();
        Lanes a = {}, b = {}, d = {}, e = {};
        std::size_t k = 0;
        for (; k + 16 <= 2 * kTaps; k += 16) {
            a += load(x + k) * load(c + k);
            b += load(x + k + 4) * load(c + k + 4);
            d += load(x + k + 8) * load(c + k + 8);
            e += load(x + k + 12) * load(c + k + 12);
        }
        for (; k < 2 * kTaps; k += 4)
            a += load(x + k) * load(c + k);
        const Lanes total = (a + b) + (d + e);
        out[2 * o] = total[0] + total[2];
        out[2 * o + 1] = total[1] + total[3];
        // The centre tap: the frame kTaps / 2 - 1 back.
        const float* centre = x + 2 * (kTaps / 2 - 1);
        if (o + 1 < outFrames) {
            out[2 * o + 2] = centre[0];
            out[2 * o + 3] = centre[1];
        } else {
            held_[0] = centre[0];
            held_[1] = centre[1];
            pending_ = true;
        }
    }
}

} // namespace zen::audio
