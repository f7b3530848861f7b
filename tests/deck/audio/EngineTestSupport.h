#pragma once

#include "DecoderTestFiles.h"
#include "deck/audio/TestClock.h"

#include <memory>
#include <string>
#include <vector>

// Sound made and measured for the engine tests, and an engine on the test clock ready to play.
namespace zen::audio::test {

// A sine of `amplitude` (1 = full scale) at `hz`, `seconds` long, the same on every channel.
Pcm makeSine(double hz, double amplitude, int rate, double seconds, int channels = 2);
// A ramp: frame f holds f modulo 32768 (left) and its negation (right), so any frame shows
// where it came from.
Pcm makeRamp(int rate, std::int64_t frames);
void writeWav(const std::string& path, const Pcm& pcm);

// One channel (0 left, 1 right) of interleaved stereo, from frame `from` on.
std::vector<float> channelOf(const std::vector<float>& stereo, int channel, std::size_t from = 0);
// Frequency by zero crossings interpolated between samples; precise to well under 1 Hz over a
// second of a clean tone.
double measureHz(const std::vector<float>& mono, double rate = 44100);
double rms(const std::vector<float>& mono);
double peak(const std::vector<float>& mono);
double dB(double ratio);

// An engine on the test clock, initialised on device 0 and started.
std::unique_ptr<TestClockEngine> startedClock();

} // namespace zen::audio::test
