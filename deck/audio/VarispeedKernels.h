#pragma once

#include <vector>

// The interpolation kernels of the varispeed's variable-rate stage, in tables built once per
// process and read with linear interpolation between their entries. Both are Kaiser-windowed
// sincs whose every stopband lies 110 dB down.
//
// The stage's input is the source raised 1.25 times, flat to 97.5 % of the source's Nyquist and
// stopped from it on: in its own frames, content up to 0.39 of its rate and nothing from 0.4 to
// 0.6. So while the stage raises the rate or keeps it (a ratio of at most 1.25 input frames per
// output frame, the source's rate at most the output's), a kernel flat to 0.39 and stopped from
// 0.6 suffices: the wide one, short enough to run in a few vector products. Above that, what lies
// past the output's Nyquist must go before it folds back: the steep kernel, flat to 0.43 of the
// output's rate and stopped from its Nyquist on, stretched to the ratio.
namespace zen::audio {

struct VarispeedKernels {
    static constexpr int kWideTaps = 36;
    static constexpr int kWidePhases = 512;
    // Row p (0 .. kWidePhases - 1): the taps for an output that lies p / kWidePhases of a frame
    // past input frame kWideTaps / 2 - 1 of the row, then the step to row p + 1, tap by tap.
    std::vector<float> wide;

    // Half the steep kernel's length, in output frames, and its entries per output frame.
    static constexpr double kSteepReach = 51;
    static constexpr int kSteepStep = 512;
    // Entry i: the kernel at (i - kSteepPadded * kSteepStep) / kSteepStep output frames from its
    // centre, and the step to entry i + 1; zero beyond kSteepReach, up to kSteepPadded.
    static constexpr int kSteepPadded = 56;
    std::vector<float> steep;

    static const VarispeedKernels& get();

private:
    VarispeedKernels();
};

} // namespace zen::audio
