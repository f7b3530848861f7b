// The loop the engine plays itself: where it wraps, what the seam sounds like, what the position
// reads, and how it lives with seeks, stops and rates; and commands held as one group.
#include "EngineTestSupport.h"
#include "deck/audio/EngineShared.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace zen::audio::test {
namespace {

// The crossfade over a start or a jump, in frames.
constexpr int kFade = 128;

// The largest step between neighbouring samples of the left channel from `from` on.
double largestStep(const std::vector<float>& stereo, std::size_t from) {
    const auto left = channelOf(stereo, 0, from);
    double worst = 0;
    for (std::size_t i = 1; i < left.size(); ++i)
        worst = std::max(worst, double(std::abs(left[i] - left[i - 1])));
    return worst;
}

class EngineLoop : public ::testing::Test {
protected:
    Handle open(const std::string& name, const Pcm& pcm) {
        writeWav(folder.path(name), pcm);
        const Handle h = engine->streamCreateFile(folder.path(name), 0, 0, kStreamFx);
        EXPECT_NE(h, 0u);
        return h;
    }
    TempFolder folder;
    std::unique_ptr<TestClockEngine> engine = startedClock();
};

// On a real device the position is worked out from the last block and the time since: the run
// carries it across the loop seam both ways, and not back before a seek.
TEST(PlayRunTest, FollowsPlaybackAcrossTheLoopSeam) {
    PlayRun run{.start = 1500, .loopStart = 1000, .loopEnd = 5000, .looped = false};
    EXPECT_EQ(run.follow(4900, 150), 1050) << "forward over the seam";
    EXPECT_EQ(run.follow(4900, 8150), 1050) << "twice round";
    EXPECT_EQ(run.follow(1600, -300), 1500) << "not back before the seek";
    EXPECT_EQ(run.follow(6000, 100), 6100) << "past the end, after a seek there";
    run.looped = true;
    EXPECT_EQ(run.follow(1050, -100), 4950) << "before the wrap, the loop's end sounded";
    EXPECT_EQ(run.follow(1600, -300), 1300) << "after a wrap the run goes on through the seek";
    run.loopEnd = run.loopStart;
    EXPECT_EQ(run.follow(4900, 150), 5050) << "no loop";
}

TEST_F(EngineLoop, WrapsAtTheExactSampleAndCrossfadesTheSeam) {
    const Pcm probe = makeProbe(20000);
    const Handle h = open("p.wav", probe);
    ASSERT_TRUE(engine->channelSetLoop(h, 1000 * 4, 5000 * 4));
    engine->channelSetPosition(h, 4000 * 4);
    engine->streamPlay(h, 0, 0);
    const auto out = engine->render(1500);
    expectFrames(out, kFade, probe, 4000 + kFade, 1000 - kFade);
    // Across the seam the frames past the end fade out under the loop start fading in.
    for (int i = 0; i < kFade; ++i) {
        const float start = probe.samples[2 * (1000 + i)] / 32768.0f;
        const float past = probe.samples[2 * (5000 + i)] / 32768.0f;
        EXPECT_GE(out[2 * (1000 + i)], std::min(start, past) - kProbeTolerance) << i;
        EXPECT_LE(out[2 * (1000 + i)], std::max(start, past) + kProbeTolerance) << i;
    }
    expectFrames(out, 1000 + kFade, probe, 1000 + kFade, 500 - kFade);
    EXPECT_EQ(engine->channelGetPosition(h), (1000 + 500) * 4);
    // And again, a loop's length later.
    const auto again = engine->render(4000);
    expectFrames(again, 0, probe, 1500, 3500);
    expectFrames(again, 3500 + kFade, probe, 1000 + kFade, 500 - kFade);
}

TEST_F(EngineLoop, AtAnyRateEveryPassLastsTheLoopsLengthExactly) {
    // 11054 frames at 47628 Hz are 10234.8 output frames: a wrap rounded to a whole frame, or a
    // frame late, would fall behind by most of a frame every pass.
    constexpr double kHz = 1000, kRatio = 47628.0 / 44100.0;
    constexpr std::int64_t kStart = 10000, kLength = 11054;
    const Handle h = open("s.wav", makeSine(kHz, 0.5, 44100, 1.0));
    engine->channelSlideAttributes(h, 47628, -1, kPanLeaveAlone, 0);
    ASSERT_TRUE(engine->channelSetLoop(h, kStart * 4, (kStart + kLength) * 4));
    engine->channelSetPosition(h, kStart * 4);
    engine->streamPlay(h, 0, 0);
    // A 1.08 kHz sine at 0.5 moves at most 0.077 per sample; allow the crossfade's own slope.
    EXPECT_LT(largestStep(engine->render(12000), kFade), 0.09) << "the seam clicks";
    const auto passes = static_cast<int>(std::lround(100 * kLength / kRatio));
    engine->render(passes - 12000);
    // Within one output frame of the loop start.
    const double off =
        std::fmod(engine->channelGetPosition(h) / 4 - kStart + 2.0 * kLength, double(kLength));
    EXPECT_LT(std::min(off, kLength - off), 1 + kRatio);
    // And the sound is where the position says: output frame n plays source frame
    // kStart + (n x ratio modulo the loop), once the crossfade of the last wrap is over.
    const auto out = engine->render(2000);
    for (int i = 200; i < 2000; i += 7) {
        const double source = kStart + std::fmod((passes + i) * kRatio, double(kLength));
        ASSERT_NEAR(out[2 * i], 0.5 * std::sin(2 * M_PI * kHz * source / 44100), 2e-3)
            << "output frame " << i << " after 100 passes";
    }
}

TEST_F(EngineLoop, NearTheSlowestResampledRateTheStartAndEveryWrapLandOnTheirFrame) {
    // Late in a progressive bend: a restart of the resampler at its slowest rates must still
    // bring the next output exactly where it belongs, at the start and at every wrap.
    constexpr double kHz = 1000, kRate = 5000, kRatio = kRate / 44100;
    constexpr std::int64_t kStart = 10000, kLength = 200;
    constexpr double kPass = kLength / kRatio;
    const Handle h = open("c.wav", makeSine(kHz, 0.5, 44100, 1.0));
    engine->channelSlideAttributes(h, static_cast<int>(kRate), -1, kPanLeaveAlone, 0);
    ASSERT_TRUE(engine->channelSetLoop(h, kStart * 4, (kStart + kLength) * 4));
    engine->channelSetPosition(h, kStart * 4);
    engine->streamPlay(h, 0, 0);
    const int frames = static_cast<int>(3 * kPass) + 500;
    const auto out = engine->render(frames);
    for (int i = 0; i < frames; i += 3) {
        // Past the crossfade of the start and of each wrap, and short of the ring that the
        // resampler's filter, long at a crawl, puts just ahead of the splice.
        const double sincePass = std::fmod(i, kPass);
        if (sincePass < kFade || sincePass > kPass - 64) continue;
        const double source = kStart + std::fmod(i * kRatio, double(kLength));
        ASSERT_NEAR(out[2 * i], 0.5 * std::sin(2 * M_PI * kHz * source / 44100), 2e-3)
            << "output frame " << i;
    }
}

TEST_F(EngineLoop, TinyLoopsAtTheRatesExtremesStayInside) {
    const Handle h = open("p.wav", makeProbe(20000));
    engine->streamPlay(h, 0, 0);
    // One frame at the top rate wraps twice an output frame; three frames at a crawl wrap every
    // few thousand, through the slow interpolator.
    for (auto [rate, frames] : {std::pair{100000, 1}, std::pair{150, 3}}) {
        engine->channelSlideAttributes(h, rate, -1, kPanLeaveAlone, 0);
        engine->channelSetLoop(h, 1000 * 4, (1000 + frames) * 4);
        engine->channelSetPosition(h, 1000 * 4);
        for (int i = 0; i < 20; ++i) {
            engine->render(2000);
            const std::int32_t p = engine->channelGetPosition(h);
            ASSERT_GE(p, 1000 * 4) << rate;
            ASSERT_LT(p, (1000 + frames) * 4) << rate;
        }
    }
}

TEST_F(EngineLoop, ClearingSeekingPastTheEndStopAndPlay) {
    const Pcm probe = makeProbe(20000);
    const Handle h = open("p.wav", probe);
    // Cleared, or with its end at or before its start, there is no loop.
    for (auto [start, end] : {std::pair{-1, -1}, std::pair{5000 * 4, 1000 * 4}}) {
        engine->channelSetLoop(h, 1000 * 4, 5000 * 4);
        ASSERT_TRUE(engine->channelSetLoop(h, start, end));
        engine->channelSetPosition(h, 4000 * 4);
        engine->streamPlay(h, 0, 0);
        expectFrames(engine->render(2000), 1000, probe, 5000, 1000);
        engine->channelStop(h);
    }

    // A seek past the end plays on from there; it wraps only on reaching the end from before.
    engine->channelSetLoop(h, 1000 * 4, 5000 * 4);
    engine->channelSetPosition(h, 6000 * 4);
    engine->streamPlay(h, 0, 0);
    expectFrames(engine->render(1000), kFade, probe, 6000 + kFade, 1000 - kFade);

    // Stop and play keep the loop.
    engine->channelSetPosition(h, 4500 * 4);
    engine->render(200);
    engine->channelStop(h);
    engine->render(300);
    EXPECT_EQ(engine->channelGetPosition(h), 4700 * 4);
    engine->streamPlay(h, 0, 0);
    expectFrames(engine->render(800), 300 + kFade, probe, 1000 + kFade, 500 - kFade);

    // Bytes inside a frame: the start rounds down, the end up, so the position never reads the
    // end or more.
    engine->channelSetLoop(h, 1000 * 4 + 1, 5000 * 4 + 1);
    engine->channelSetPosition(h, 4900 * 4);
    engine->render(200);
    EXPECT_EQ(engine->channelGetPosition(h), (1000 + 200 - 101) * 4);

    EXPECT_FALSE(engine->channelSetLoop(0, 0, 4000));
    const Handle decode = engine->streamCreateFile(folder.path("p.wav"), 0, 0, kDecodeOnly);
    EXPECT_FALSE(engine->channelSetLoop(decode, 0, 4000));
}

TEST_F(EngineLoop, PlayAndSeekSoundOnlyFromTheNewPositionEvenWhenHeldAsAGroup) {
    // Loud for a second, then silent: cue-play into the silent part must stay silent, also when a
    // block is rendered between the play and the seek of a held group.
    Pcm pcm = makeSine(1000, 0.9, 44100, 2.0);
    std::fill(pcm.samples.begin() + 2 * 44100, pcm.samples.end(), std::int16_t{0});
    const Handle h = open("half.wav", pcm);
    engine->streamPreBuf(h);
    engine->streamPlay(h, 0, 0);
    engine->channelSetPosition(h, 44100 * 4 + 4000);
    EXPECT_EQ(peak(engine->render(2000)), 0.0);
    engine->channelStop(h);
    engine->channelSetPosition(h, 0);
    {
        const CommandGroup group(*engine);
        engine->streamPlay(h, 0, 0);
        EXPECT_EQ(peak(engine->render(512)), 0.0);
        engine->channelSetPosition(h, 44100 * 4 + 4000);
        EXPECT_EQ(engine->channelGetPosition(h), 44100 * 4 + 4000);
        EXPECT_EQ(peak(engine->render(512)), 0.0);
    }
    EXPECT_EQ(peak(engine->render(2000)), 0.0);
    EXPECT_EQ(engine->channelGetPosition(h), 44100 * 4 + 4000 + 2000 * 4);
    EXPECT_NE(engine->channelGetLevel(h), -1) << "playing once the group is released";
}

} // namespace
} // namespace zen::audio::test
