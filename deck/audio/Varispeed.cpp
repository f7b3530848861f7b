#include "deck/audio/Varispeed.h"

#include "deck/audio/VarispeedKernels.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zen::audio {

namespace {
// The fixed-rate stage. 1.25 leaves the wide kernel a transition from 0.39 to 0.6 of the
// oversampled rate, 36 taps; a higher factor shortens it but the steep kernel, whose length
// follows the oversampled frames per output frame, grows.
constexpr double kOversampling = 1.25;
// Flat to 97.5 % of the source's Nyquist: 18 kHz of output at -16 % is 97.2 %.
constexpr double kPassbandEnd = 0.975;
// Source frames either side of a frame that the oversampler's filter reaches, to 120 dB down.
constexpr double kOversamplerReach = 320;
// Transforms of at most 2^12 points instead of libsoxr's 2^17 halve how far the oversampler reads
// ahead, for 2 % more work.
constexpr unsigned kLog2LargestTransform = 12;
// Oversampled frames fetched at a time, past the kernel's own.
constexpr int kChunk = 256;
constexpr int kWarmUpFrames = 8192;
// Oversampled frames per output frame up to which the wide kernel serves.
constexpr double kWideUpTo = kOversampling;
// Phases of the steep kernel's rows: stretched, it is smoother than the wide one.
constexpr int kSteepPhases = 256;
// The steps the steep kernel is stretched to lie on a grid of this factor.
constexpr double kStretchGrid = 1.01;

using Lanes = float __attribute__((vector_size(16)));
Lanes load(const float* p) {
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
} // namespace

Varispeed::Varispeed(int channels, double ratio, double maxRatio, Feed feed, void* context)
    : channels_(channels), feed_(feed), context_(context),
      wide_(VarispeedKernels::get().wide.data()), steep_(VarispeedKernels::get().steep.data()),
      input_(static_cast<std::size_t>(2 * kFeedFrames)) {
    maxTaps_ = tapsFor(kStretchGrid * std::max(maxRatio, ratio));
    capacity_ = maxTaps_ + kChunk;
    frames_.assign(static_cast<std::size_t>(2 * capacity_), 0.0f);
    stretched_.resize(static_cast<std::size_t>(2 * kSteepPhases * maxTaps_));
    // Silence before the first frame: the first outputs read it.
    base_ = -maxTaps_;
    fill_ = maxTaps_;

    soxr_quality_spec_t steep = soxr_quality_spec(SOXR_HQ, SOXR_LINEAR_PHASE);
    steep.passband_end = kPassbandEnd;
    steep.stopband_begin = 1;
    soxr_error_t error = nullptr;
    soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    runtime.log2_large_dft_size = kLog2LargestTransform;
    soxr_t oversampler = soxr_create(1, kOversampling, 2, &error, nullptr, &steep, &runtime);
    if (error || !oversampler) return;
    if (soxr_set_input_fn(oversampler, &Varispeed::pullSource, this, kFeedFrames)) {
        soxr_delete(oversampler);
        return;
    }
    oversampler_ = oversampler;
    // libsoxr grows its buffers to the largest burst it has met: the fastest ratio asks for the
    // largest, now, on the constructing thread, instead of later under the audio callback.
    std::vector<float> warmUp(static_cast<std::size_t>(2 * kWarmUpFrames));
    warming_ = true;
    setRatio(maxRatio);
    render(warmUp.data(), kWarmUpFrames);
    warming_ = false;
    setRatio(ratio);
    // What went in was silence, as before the first frame: the owner's first frame comes next.
    place_ = kOversampling * static_cast<double>(fed_);
}

Varispeed::~Varispeed() {
    if (oversampler_) soxr_delete(oversampler_);
}

int Varispeed::tapsFor(double ratio) const {
    const double step = kOversampling * ratio;
    if (step <= kWideUpTo) return VarispeedKernels::kWideTaps;
    const int half = static_cast<int>(std::ceil(VarispeedKernels::kSteepReach * step)) + 1;
    return (2 * half + 3) / 4 * 4;
}

std::size_t Varispeed::pullSource(void* self, const void** data, std::size_t requested) {
    auto* v = static_cast<Varispeed*>(self);
    const int count = static_cast<int>(std::min<std::size_t>(requested, kFeedFrames));
    float* in = v->input_.data();
    if (v->warming_) {
        std::fill(in, in + 2 * count, 0.0f);
    } else {
        v->feed_(v->context_, in, count);
        if (v->channels_ == 1)
            for (int i = count; i-- > 0;)
                in[2 * i] = in[2 * i + 1] = in[i];
    }
    v->fed_ += count;
    *data = in;
    return static_cast<std::size_t>(count);
}

void Varispeed::setRatio(double ratio) {
    ratio_ = ratio;
    step_ = kOversampling * ratio;
    if (step_ <= kWideUpTo)
        taps_ = VarispeedKernels::kWideTaps;
    else
        stretchSteep(step_);
}

void Varispeed::ensure(std::int64_t first, std::int64_t last) {
    while (base_ + fill_ <= last) {
        // What no output reads any more makes room.
        const auto drop = static_cast<int>(std::min<std::int64_t>(first - base_, fill_));
        if (drop > 0) {
            std::copy(frames_.begin() + 2 * drop, frames_.begin() + 2 * fill_, frames_.begin());
            fill_ -= drop;
            base_ += drop;
        }
        const int room = std::min(capacity_ - fill_, kChunk);
        float* to = frames_.data() + 2 * fill_;
        const auto got =
            static_cast<int>(soxr_output(oversampler_, to, static_cast<std::size_t>(room)));
        // The feed never ends; should libsoxr fail, silence keeps the places right.
        std::fill(to + 2 * got, to + 2 * room, 0.0f);
        fill_ += room;
    }
}

void Varispeed::dotFrame(const float* x, double phase, const float* rows, int taps, int phases,
                         float* out) {
    const double at = phase * phases;
    const int row = std::min(static_cast<int>(at), phases - 1);
    const auto w = static_cast<float>(at - row);
    const float* weights = rows + 2 * row * taps;
    const float* steps = weights + taps;
    // Each tap serves a left and a right sample: lanes of two frames each.
    Lanes a = {}, b = {};
    for (int n = 0; n < taps; n += 4) {
        const Lanes c = load(weights + n) + w * load(steps + n);
        a += __builtin_shufflevector(c, c, 0, 0, 1, 1) * load(x + 2 * n);
        b += __builtin_shufflevector(c, c, 2, 2, 3, 3) * load(x + 2 * n + 4);
    }
    const Lanes sum = a + b;
    out[0] = sum[0] + sum[2];
    out[1] = sum[1] + sum[3];
}

void Varispeed::stretchSteep(double step) {
    // Stretched a little further than asked, to a step of a grid, so that a slide rebuilds the
    // rows now and then rather than at every block: a kernel stretched further keeps everything
    // past the Nyquist stopped, and its passband edge moves down by a percent at most.
    const double grid = std::pow(kStretchGrid, std::ceil(std::log(step) / std::log(kStretchGrid)));
    taps_ = std::min(tapsFor(grid / kOversampling), maxTaps_);
    if (grid == stretchedFor_) return;
    stretchedFor_ = grid;
    const auto weights = [&](int p) { return stretched_.data() + 2 * p * taps_; };
    // Tap n of row p lies (n - taps / 2 + 1 - p / kSteepPhases) / grid output frames from the
    // centre; its weight is divided by the stretch so that the gain stays one. The kernel is
    // symmetric, so row kSteepPhases - p is row p backwards, and half the rows are read from the
    // table.
    const double stride = VarispeedKernels::kSteepStep / grid;
    const auto gain = static_cast<float>(1 / grid);
    for (int p = 0; p <= kSteepPhases / 2; ++p) {
        float* row = weights(p);
        double at = ((1 - taps_ / 2 - static_cast<double>(p) / kSteepPhases) / grid +
                     VarispeedKernels::kSteepPadded) *
                    VarispeedKernels::kSteepStep;
        for (int n = 0; n < taps_; ++n, at += stride) {
            const int i = static_cast<int>(at);
            row[n] = (steep_[2 * i] + static_cast<float>(at - i) * steep_[2 * i + 1]) * gain;
        }
    }
    for (int p = kSteepPhases / 2 + 1; p < kSteepPhases; ++p)
        std::reverse_copy(weights(kSteepPhases - p), weights(kSteepPhases - p) + taps_, weights(p));
    // Each row's steps lead to the next; past the last lies the first, one tap later.
    for (int p = 0; p < kSteepPhases; ++p) {
        const float* row = weights(p);
        float* steps = weights(p) + taps_;
        for (int n = 0; n < taps_; ++n) {
            const float next = p + 1 < kSteepPhases ? weights(p + 1)[n]
                               : n > 0              ? weights(0)[n - 1]
                                                    : 0;
            steps[n] = next - row[n];
        }
    }
}

void Varispeed::render(float* out, int frames) {
    const bool wide = step_ <= kWideUpTo;
    float frame[2];
    for (int i = 0; i < frames; ++i) {
        const double whole = std::floor(place_);
        const std::int64_t first = static_cast<std::int64_t>(whole) - taps_ / 2 + 1;
        ensure(first, first + taps_ - 1);
        const float* x = frames_.data() + 2 * (first - base_);
        if (wide)
            dotFrame(x, place_ - whole, wide_, taps_, VarispeedKernels::kWidePhases, frame);
        else
            dotFrame(x, place_ - whole, stretched_.data(), taps_, kSteepPhases, frame);
        out[channels_ * i] = frame[0];
        if (channels_ == 2) out[2 * i + 1] = frame[1];
        place_ += step_;
    }
}

std::int64_t Varispeed::plan(double position) {
    // The first oversampled frame clear of the old input, and the first place whose taps all
    // begin there, in source frames past the next input frame.
    const double clean = kOversampling * (static_cast<double>(fed_) + kOversamplerReach);
    const double past = (clean + taps_ / 2) / kOversampling - static_cast<double>(fed_);
    const auto from = static_cast<std::int64_t>(std::floor(position - past));
    plannedPlace_ =
        kOversampling * (static_cast<double>(fed_) + position - static_cast<double>(from));
    return from;
}

void Varispeed::run() {
    place_ = plannedPlace_;
}

} // namespace zen::audio
