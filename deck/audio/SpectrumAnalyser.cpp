#include "deck/audio/SpectrumAnalyser.h"

#include <fftw3.h>

#include <cmath>

namespace zen::audio {

SpectrumAnalyser::SpectrumAnalyser()
    : input_(fftwf_alloc_real(kSize)), window_(fftwf_alloc_real(kSize)),
      output_(fftwf_alloc_complex(kBins + 1)) {
    // A Hann window's coherent gain is 1/2, so an amplitude-A sine on a bin gives A * N / 4;
    // folding 2 / N into the window makes it read A / 2.
    for (std::size_t i = 0; i < kSize; ++i)
        window_[i] =
            static_cast<float>(0.5 * (1.0 - std::cos(2.0 * M_PI * i / kSize)) * 2.0 / kSize);
    // FFTW's planner is not thread-safe; the engine makes its plan once, on its own thread.
    plan_ = fftwf_plan_dft_r2c_1d(static_cast<int>(kSize), input_,
                                  static_cast<fftwf_complex*>(output_), FFTW_ESTIMATE);
}

SpectrumAnalyser::~SpectrumAnalyser() {
    fftwf_destroy_plan(plan_);
    fftwf_free(output_);
    fftwf_free(window_);
    fftwf_free(input_);
}

void SpectrumAnalyser::compute(float* magnitudes) {
    for (std::size_t i = 0; i < kSize; ++i)
        input_[i] *= window_[i];
    fftwf_execute(plan_);
    const auto* bins = static_cast<const fftwf_complex*>(output_);
    for (std::size_t k = 0; k < kBins; ++k)
        magnitudes[k] = std::sqrt(bins[k][0] * bins[k][0] + bins[k][1] * bins[k][1]);
}

} // namespace zen::audio
