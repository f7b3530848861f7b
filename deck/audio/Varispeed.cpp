#include "deck/audio/Varispeed.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace zen::audio {

namespace {
// The fixed-rate stage. Any factor from about 1.07 on puts the variable-rate filter's edges beyond
// the source's band; up to about 1.5 the variable-rate stage stays under a ratio of 2 over the
// pitch range and its bends, past which it halves its input first and costs three times as much.
constexpr double kOversampling = 1.25;
// Flat to 97.5 % of the source's Nyquist: 18 kHz of output at -16 % is 97.2 %.
constexpr double kPassbandEnd = 0.975;
// Source frames either side of a frame that the oversampler's filter reaches, to 120 dB down.
constexpr double kOversamplerReach = 320;
// Transforms of at most 2^12 points instead of libsoxr's 2^17 halve how far the oversampler reads
// ahead (2400 source frames instead of 4400, all rendered unheard at a restart), for 2 % more work.
constexpr unsigned kLog2LargestTransform = 12;
// The timing of libsoxr 0.1.3's variable-rate converter, measured with impulses, in its own input
// frames and ratio: where its first output lies (input frames per unit of ratio, plus a quarter
// frame from half speed on), and how far a change of ratio reaches back.
constexpr double kLeadPerRatio = 1.363333;
constexpr double kLeadStep = 0.25;
constexpr double kChangeLag = 1.863333;
// Input frames of the variable-rate converter after a splice that its output still carries the old
// input through its filter's tail, audibly: beyond them it is more than 50 dB down, and a restart
// fades in anyway.
constexpr double kSettleFrames = 512;
constexpr int kWarmUpFrames = 8192;
// Below this the owner interpolates linearly.
constexpr double kMinRatio = 0.004;
} // namespace

Varispeed::Varispeed(int channels, double ratio, double maxRatio, Feed feed, void* context)
    : channels_(channels), feed_(feed), context_(context), ratio_(ratio),
      next_(lead(kOversampling * ratio) / kOversampling) {
    soxr_quality_spec_t steep = soxr_quality_spec(SOXR_HQ, SOXR_LINEAR_PHASE);
    steep.passband_end = kPassbandEnd;
    steep.stopband_begin = 1;
    const soxr_quality_spec_t variable = soxr_quality_spec(SOXR_HQ, SOXR_VR);
    const auto count = static_cast<unsigned>(channels);
    soxr_error_t error = nullptr;
    soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    runtime.log2_large_dft_size = kLog2LargestTransform;
    oversampler_ = soxr_create(1, kOversampling, count, &error, nullptr, &steep, &runtime);
    if (error || !oversampler_ ||
        soxr_set_input_fn(oversampler_, &Varispeed::pullSource, this, kFeedFrames))
        return;
    // The rates given fix the largest ratio; a margin keeps the ones used off that edge, where the
    // converter's timing differs.
    soxr_t converter =
        soxr_create(1.25 * kOversampling * maxRatio, 1, count, &error, nullptr, &variable, nullptr);
    if (error || !converter) return;
    if (soxr_set_input_fn(converter, &Varispeed::pullOversampled, this, kFeedFrames) ||
        soxr_set_io_ratio(converter, kOversampling * ratio, 0)) {
        soxr_delete(converter);
        return;
    }
    converter_ = converter;
    // libsoxr grows its buffers to the largest burst it has met: a block far longer than any the
    // owner asks for, at every octave of the range, grows them now, on the constructing thread,
    // instead of later under the audio callback.
    std::vector<float> warmUp(static_cast<std::size_t>(kWarmUpFrames * channels));
    warming_ = true;
    for (double r = kMinRatio; r < 1.1 * maxRatio; r *= 2) {
        setRatio(r);
        render(warmUp.data(), kWarmUpFrames);
    }
    setRatio(ratio);
    warming_ = false;
}

Varispeed::~Varispeed() {
    if (converter_) soxr_delete(converter_);
    if (oversampler_) soxr_delete(oversampler_);
}

double Varispeed::lead(double ratio) {
    return -(kLeadPerRatio * ratio + kLeadStep * (ratio >= 1 ? ratio : ratio >= 0.5 ? 1 : 0));
}

std::size_t Varispeed::pullSource(void* self, const void** data, std::size_t requested) {
    auto* v = static_cast<Varispeed*>(self);
    const int count = static_cast<int>(std::min<std::size_t>(requested, kFeedFrames));
    if (v->warming_)
        std::fill(v->input_, v->input_ + count * v->channels_, 0.0f);
    else
        v->feed_(v->context_, v->input_, count);
    v->fed_ += count;
    *data = v->input_;
    return static_cast<std::size_t>(count);
}

std::size_t Varispeed::pullOversampled(void* self, const void** data, std::size_t requested) {
    auto* v = static_cast<Varispeed*>(self);
    *data = v->oversampled_;
    return soxr_output(v->oversampler_, v->oversampled_,
                       std::min<std::size_t>(requested, kFeedFrames));
}

double Varispeed::setRatio(double ratio) {
    if (ratio == ratio_) return 0;
    soxr_set_io_ratio(converter_, kOversampling * ratio, 0);
    const double moved = kChangeLag * (ratio_ - ratio);
    next_ += moved;
    ratio_ = ratio;
    return moved;
}

void Varispeed::render(float* out, int frames) {
    // The converter gives at most the frames asked for.
    const auto done =
        static_cast<int>(soxr_output(converter_, out, static_cast<std::size_t>(frames)));
    std::fill(out + done * channels_, out + frames * channels_, 0.0f);
    next_ += frames * ratio_;
}

std::int64_t Varispeed::plan(double position) {
    // Outputs to render unheard: past the input already taken, and past the filters' tails of it.
    const double pending = static_cast<double>(fed_) - next_;
    const double settle =
        kOversamplerReach + kSettleFrames * std::max(1.0, kOversampling * ratio_) / kOversampling;
    unheard_ = std::max(1, static_cast<int>(std::ceil((pending + settle) / ratio_)));
    plannedRatio_ = ratio_;
    // Where the next output would then lie, counted from the first new input frame; the feed
    // begins a whole frame further back, and the unheard frames run fast enough to make it up.
    const double reach = next_ + unheard_ * ratio_ - static_cast<double>(fed_);
    const auto from = static_cast<std::int64_t>(std::floor(position - reach));
    warpedRatio_ =
        (static_cast<double>(fed_) + position - static_cast<double>(from) - next_) / unheard_;
    return from;
}

void Varispeed::run(float* scratch) {
    // The two changes of ratio move the input position by opposite amounts.
    setRatio(warpedRatio_);
    for (int left = unheard_; left > 0; left -= kScratchFrames)
        render(scratch, std::min(left, kScratchFrames));
    setRatio(plannedRatio_);
}

} // namespace zen::audio
