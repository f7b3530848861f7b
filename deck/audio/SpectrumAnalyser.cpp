#include "deck/audio/SpectrumAnalyser.h"

#include <fftw3.h>
#include <soxr.h>

#include <algorithm>
#include <cmath>

namespace zen::audio {

namespace {
// Frames at 44100 Hz before and after the analysed ones that are converted and dropped: the
// converter's filter rings at the ends of what it is given, not in the middle. The newest 2.9 ms
// are left out for it, which no eye sees.
constexpr std::size_t kMargin = 128;
} // namespace

SpectrumAnalyser::SpectrumAnalyser()
    : fftInput_(fftwf_alloc_real(kSize)), window_(fftwf_alloc_real(kSize)),
      output_(fftwf_alloc_complex(kBins + 1)) {
    // A Hann window's coherent gain is 1/2, so an amplitude-A sine on a bin gives A * N / 4;
    // folding 2 / N into the window makes it read A / 2.
    for (std::size_t i = 0; i < kSize; ++i)
        window_[i] =
            static_cast<float>(0.5 * (1.0 - std::cos(2.0 * M_PI * i / kSize)) * 2.0 / kSize);
    // FFTW's planner is not thread-safe; the engine makes its plan once, on its own thread.
    plan_ = fftwf_plan_dft_r2c_1d(static_cast<int>(kSize), fftInput_,
                                  static_cast<fftwf_complex*>(output_), FFTW_ESTIMATE);
}

SpectrumAnalyser::~SpectrumAnalyser() {
    fftwf_destroy_plan(plan_);
    fftwf_free(output_);
    fftwf_free(window_);
    fftwf_free(fftInput_);
}

void SpectrumAnalyser::setInputRate(double rate) {
    rate_ = rate;
    if (rate == kRate) {
        inputSize_ = kSize;
        frames_.clear();
        converted_.clear();
        return;
    }
    inputSize_ = static_cast<std::size_t>(std::ceil((kSize + 2 * kMargin) * rate / kRate));
    frames_.assign(inputSize_, 0.0f);
    converted_.assign(kSize + 4 * kMargin, 0.0f);
}

float* SpectrumAnalyser::input() {
    return rate_ == kRate ? fftInput_ : frames_.data();
}

void SpectrumAnalyser::compute(float* magnitudes) {
    if (rate_ != kRate) {
        std::size_t done = 0;
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        soxr_oneshot(rate_, kRate, 1, frames_.data(), frames_.size(), nullptr, converted_.data(),
                     converted_.size(), &done, nullptr, &quality, nullptr);
        // The newest kSize frames before the last kMargin.
        const std::size_t end = done > kMargin ? done - kMargin : 0;
        const std::size_t count = std::min(end, kSize);
        std::fill(fftInput_, fftInput_ + kSize - count, 0.0f);
        std::copy(converted_.begin() + static_cast<std::ptrdiff_t>(end - count),
                  converted_.begin() + static_cast<std::ptrdiff_t>(end), fftInput_ + kSize - count);
    }
    for (std::size_t i = 0; i < kSize; ++i)
        fftInput_[i] *= window_[i];
    fftwf_execute(plan_);
    const auto* bins = static_cast<const fftwf_complex*>(output_);
    for (std::size_t k = 0; k < kBins; ++k)
        magnitudes[k] = std::sqrt(bins[k][0] * bins[k][0] + bins[k][1] * bins[k][1]);
}

} // namespace zen::audio
