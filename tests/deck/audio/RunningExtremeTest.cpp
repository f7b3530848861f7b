// The running extreme that takes the drums out of the harmony as the frames arrive.
#include "deck/audio/RunningExtreme.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace zen::audio::test {
namespace {

constexpr std::size_t kBins = 16;

// What each frame's extreme must be, worked out the slow way: over its window clipped to the
// stream, or over the whole block of `width` frames where that window falls within one.
template <typename Pick>
std::vector<float> expectedExtremes(const std::vector<float>& frames, std::size_t width) {
    const std::size_t n = frames.size() / kBins, half = width / 2;
    std::vector<float> out(frames.size());
    for (std::size_t t = 0; t < n; ++t) {
        std::size_t from = t > half ? t - half : 0, to = std::min(n - 1, t + half);
        if (from / width == to / width) {
            from -= from % width;
            to = std::min(n - 1, from + width - 1);
        }
        for (std::size_t k = 0; k < kBins; ++k) {
            float v = frames[from * kBins + k];
            for (std::size_t s = from + 1; s <= to; ++s)
                v = Pick()(v, frames[s * kBins + k]);
            out[t * kBins + k] = v;
        }
    }
    return out;
}

template <typename Pick>
std::vector<float> streamed(const std::vector<float>& frames, std::size_t width) {
    RunningExtreme<Pick> extreme(kBins, width);
    std::vector<float> out;
    const auto keep = [&](const float* values) { out.insert(out.end(), values, values + kBins); };
    for (std::size_t t = 0; t * kBins < frames.size(); ++t) {
        extreme.push(&frames[t * kBins], keep);
        // No frame leaves before the last frame of its window is in.
        EXPECT_LE(out.size() / kBins, t + 1 > width / 2 ? t + 1 - width / 2 : 0) << t;
    }
    extreme.finish(keep);
    return out;
}

TEST(RunningExtreme, MatchesTheExtremeOfEachWindowWhateverTheStreamsLength) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> value(-1, 1);
    for (std::size_t width : {3, 15})
        for (std::size_t n : {1, 2, 7, 14, 15, 16, 29, 30, 31, 44, 47, 200}) {
            std::vector<float> frames(n * kBins);
            for (float& v : frames)
                v = value(random);
            EXPECT_EQ(streamed<Least>(frames, width), expectedExtremes<Least>(frames, width))
                << width << " " << n;
            EXPECT_EQ(streamed<Largest>(frames, width), expectedExtremes<Largest>(frames, width))
                << width << " " << n;
        }
}

TEST(RunningOpening, RemovesAHitShorterThanTheWindowAndKeepsAStep) {
    // A 100 ms hit at frame 20 over a level that steps up at frame 60, in 10 ms frames.
    std::vector<float> frames(100 * kBins, 0.0f);
    for (std::size_t t = 0; t < 100; ++t)
        for (std::size_t k = 0; k < kBins; ++k)
            frames[t * kBins + k] = (t >= 60 ? 1.0f : 0.0f) + (t >= 20 && t < 30 ? 5.0f : 0.0f);
    RunningOpening opening(kBins, 15);
    std::vector<float> out;
    const auto keep = [&](const float* values) { out.insert(out.end(), values, values + kBins); };
    for (std::size_t t = 0; t < 100; ++t)
        opening.push(&frames[t * kBins], keep);
    opening.finish(keep);
    ASSERT_EQ(out.size(), frames.size());
    for (std::size_t t = 0; t < 100; ++t)
        EXPECT_EQ(out[t * kBins + 3], t >= 60 ? 1.0f : 0.0f) << t;
}

} // namespace
} // namespace zen::audio::test
