// The resampler on the audio thread: nothing it does after construction may allocate, whatever
// the ratios, block sizes and restarts.
#include "deck/audio/Varispeed.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <cmath>
#include <random>
#include <vector>

namespace zen::audio {
namespace {

void feedSine(void* phase, float* frames, int count) {
    auto& t = *static_cast<double*>(phase);
    for (int i = 0; i < count; ++i, t += 1)
        frames[2 * i] = frames[2 * i + 1] = static_cast<float>(0.5 * std::sin(0.05 * t));
}

TEST(VarispeedTest, NothingAllocatesAfterConstruction) {
    double phase = 0;
    // A 96 kHz file: ratios up to twice its own.
    Varispeed varispeed(2, 96000 / 44100.0, 192000 / 44100.0, feedSine, &phase);
    ASSERT_TRUE(varispeed.ok());
    std::vector<float> out(2 * 256), scratch(2 * Varispeed::kScratchFrames);
    std::mt19937 random(9);
    const std::size_t inUse = mallinfo2().uordblks;
    for (int block = 0; block < 4000; ++block) {
        // Slides, jumps between the ends of the range, and now and then a seek.
        const double ratio =
            block % 500 < 250 ? 0.005 + (random() % 4000) / 1000.0 : 0.8 + (block % 250) / 500.0;
        varispeed.setRatio(ratio);
        varispeed.render(out.data(), 1 + static_cast<int>(random() % 256));
        if (block % 97 == 0) {
            phase = static_cast<double>(varispeed.plan(1000.0 * block + 0.37));
            varispeed.run(scratch.data());
        }
    }
    EXPECT_EQ(mallinfo2().uordblks, inUse);
}

} // namespace
} // namespace zen::audio
