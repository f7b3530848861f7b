#pragma once

#include <cstddef>

typedef struct fftwf_plan_s* fftwf_plan;

// The spectrum the deck draws: 1024 linear magnitudes of a 2048-point Hann-windowed FFT, scaled
// so that a full-scale sine centred on a bin reads 0.5 there. Runs on the caller's thread.
namespace zen::audio {

class SpectrumAnalyser {
public:
    static constexpr std::size_t kSize = 2048;
    static constexpr std::size_t kBins = kSize / 2;

    SpectrumAnalyser();
    ~SpectrumAnalyser();
    SpectrumAnalyser(const SpectrumAnalyser&) = delete;
    SpectrumAnalyser& operator=(const SpectrumAnalyser&) = delete;

    // Input buffer of kSize mono samples, oldest first; fill it, then call compute.
    float* input() { return input_; }
    void compute(float* magnitudes);

private:
    float* input_;
    float* window_;
    void* output_;
    fftwf_plan plan_;
};

} // namespace zen::audio
