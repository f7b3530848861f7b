#pragma once

#include <array>

// Doubles the rate of interleaved stereo through a linear-phase half-band filter: for outputs of
// 88.2 kHz and more a voice renders at half the output's rate, where its varispeed costs half as
// much, and this finishes the conversion.
//
// Flat within 0.0001 dB to 22 % of the output's rate (21.1 kHz at 96 kHz, 19.4 kHz at 88.2 kHz),
// and the images of everything below that are 109 dB down: its stopband begins at 28 %. Above
// 22 % lies only what the file holds above 21.1 kHz (at 88.2 kHz 19.4) and a pitch raises there,
// nothing a listener hears. A Kaiser-windowed sinc whose every other tap is zero: each input frame
// gives one output frame that is the input itself, delayed, and one of kTaps products.
//
// Audio thread after construction: nothing here allocates.
namespace zen::audio {

class Upsampler {
public:
    static constexpr int kTaps = 60; // the non-zero taps besides the centre
    // How late an input frame comes out, in output frames.
    static constexpr int kDelay = kTaps - 1;

    Upsampler();

    // Input frames to hand process() for the next `outFrames` output frames.
    int inputFor(int outFrames) const { return (outFrames - (pending_ ? 1 : 0) + 1) / 2; }
    // Takes inputFor(outFrames) frames from `in` and writes `outFrames` frames to `out`.
    void process(const float* in, float* out, int outFrames);
    // The same for silence, once the filter holds nothing but silence: no work.
    void skip(int outFrames);
    void reset();

private:
    void push(const float* frame);

    // Each tap twice, for the left and the right channel, newest frame first: the sum is one run
    // of products in four lanes, which the compiler turns into vector instructions.
    alignas(16) std::array<float, 2 * kTaps> coefficients_{};
    // The last kTaps input frames, newest first, twice over so that they read in one run.
    alignas(16) std::array<float, 2 * 2 * kTaps> history_{};
    int head_ = 0;
    bool pending_ = false; // the second frame of the last pair is still to go out
    float held_[2] = {0, 0};
};

} // namespace zen::audio
