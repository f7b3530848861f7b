#pragma once

#include "DecoderTestFiles.h"
#include "deck/audio/TestClock.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// Sound made and measured for the engine tests, and an engine on the test clock ready to play.
namespace zen::audio::test {

// A sine of `amplitude` (1 = full scale) at `hz`, `seconds` long, the same on every channel.
Pcm makeSine(double hz, double amplitude, int rate, double seconds, int channels = 2);
void writeWav(const std::string& path, const Pcm& pcm);

// One channel (0 left, 1 right) of interleaved stereo, from frame `from` on.
std::vector<float> channelOf(const std::vector<float>& stereo, int channel, std::size_t from = 0);
// Frequency by zero crossings interpolated between samples; precise to well under 1 Hz over a
// second of a clean tone.
double measureHz(const std::vector<float>& mono, double rate = 44100);
double peak(const std::vector<float>& mono);
// The largest step between neighbouring samples (`order` 1), or the largest bend (`order` 2).
double roughness(const std::vector<float>& mono, int order);

// An engine on the test clock, initialised on device 0 and started, with a folder for its files.
class EngineTest : public ::testing::Test {
protected:
    // The crossfade over a start or a jump, in frames.
    static constexpr int kFade = 128;

    void SetUp() override;
    // Writes `pcm` as a WAV and opens it with `flags`.
    Handle open(const std::string& name, const Pcm& pcm, std::uint32_t flags = kStreamFx);

    TempFolder folder;
    std::unique_ptr<TestClockEngine> engine = createTestClockEngine();
};

} // namespace zen::audio::test
