#pragma once

#include "Recording.h"

#include <string>
#include <vector>

// Pure tones written as files and measured as they come out, for the response figures.
namespace zen::bench {

constexpr int kOutputRate = 44100;

// A stereo 16-bit WAV of a sine of `amplitude` at `hz`, with triangular dither so that the
// rounding to 16 bits leaves noise, not spurs of its own.
void writeToneWav(const std::string& path, double hz, double amplitude, double seconds);
// The strongest component of `mono` (at `rate`) away from `hz` (none when hz is 0), in dB
// relative to `reference` amplitude, through a Kaiser-windowed FFT whose sidelobes lie far below
// -100 dB.
double worstSpurDb(const std::vector<float>& mono, double hz, double reference,
                   double rate = kOutputRate);

} // namespace zen::bench
