#pragma once

#include <cstddef>
#include <vector>

typedef struct fftwf_plan_s* fftwf_plan;

// The spectrum the deck draws: 1024 linear magnitudes of a 2048-point Hann-windowed FFT at
// 44100 Hz, so that bin k lies at k x 44100 / 2048 Hz whatever the output's rate, scaled so that a
// full-scale sine centred on a bin reads 0.5 there. Frames of another rate are converted to
// 44100 Hz first. Runs on the caller's thread.
namespace zen::audio {

class SpectrumAnalyser {
public:
    static constexpr std::size_t kSize = 2048;
    static constexpr std::size_t kBins = kSize / 2;
    static constexpr double kRate = 44100;

    SpectrumAnalyser();
    ~SpectrumAnalyser();
    SpectrumAnalyser(const SpectrumAnalyser&) = delete;
    SpectrumAnalyser& operator=(const SpectrumAnalyser&) = delete;

    // The rate of the frames handed in.
    void setInputRate(double rate);
    // Fill input() with the inputSize() latest mono frames, oldest first, then call compute.
    std::size_t inputSize() const { return inputSize_; }
    float* input();
    void compute(float* magnitudes);

private:
    float* fftInput_;
    float* window_;
    void* output_;
    fftwf_plan plan_;
    double rate_ = kRate;
    std::size_t inputSize_ = kSize;
    std::vector<float> frames_;    // input at another rate
    std::vector<float> converted_; // the same at kRate
};

} // namespace zen::audio
