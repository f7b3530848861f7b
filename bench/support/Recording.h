#pragma once

#include <QString>

#include <cstddef>
#include <vector>

// What the sound server plays, recorded and measured.
namespace zen::e2e {

// Records `seconds` of what the sound server plays; returns the left channel.
std::vector<float> recordOutput(const QString& file, double seconds);
// Frames of the recording that carry the tone: at the deck's start volume most of a sine's
// samples lie well above this, silence and dither far below.
std::size_t loudFrames(const std::vector<float>& mono);
// The part of a recording where the tone sounds (the first stall of a server is cut off).
std::vector<float> sounding(const std::vector<float>& mono);
// The frequency of a recorded tone, robust to the dropouts a loaded machine causes in a dummy
// sound server: cycles far from the median length (a gap, a glitch) are left out of the mean.
double steadyHz(const std::vector<float>& mono, double rate = 44100);

// Amplitude of the sine at `hz` (output rate) fitted by least squares to `mono`.
double toneAmplitude(const std::vector<float>& mono, double hz);

} // namespace zen::e2e
