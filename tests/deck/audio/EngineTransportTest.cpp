// Positions, seeks, stop, end of stream, rates, slides and loops, checked sample by sample
// through the test clock; and commands held as one group.
#include "EngineTestSupport.h"
#include "deck/audio/EngineShared.h"

#include <cmath>
#include <filesystem>

namespace zen::audio::test {
namespace {

using EngineTransport = EngineTest;
using EngineLoop = EngineTest;

// What shows where a frame came from through the resampler: a 997 Hz sine at 0.5 comes out
// within 2e-3 of its samples at its own rate, where a frame off moves them by up to 0.07, and it
// repeats only after a second.
Pcm makeProbe(int frames) {
    return makeSine(997, 0.5, 44100, (frames + 0.5) / 44100);
}

// Output frames [from, from + count) of interleaved stereo play `probe` from frame `source` on.
void expectFrames(const std::vector<float>& out, int from, const Pcm& probe, int source,
                  int count) {
    for (int i = 0; i < 2 * count; ++i)
        ASSERT_NEAR(out.at(std::size_t(2 * from + i)),
                    probe.samples.at(std::size_t(2 * source + i)) / 32768.0, 2e-3)
            << "output frame " << from + i / 2 << " should be source frame " << source + i / 2;
}

TEST_F(EngineTransport, PositionsRoundDownToFramesAndClampToTheTrack) {
    const Handle h = open("p.wav", makeProbe(10000));
    const Handle mono = open("m.wav", makeSine(440, 0.5, 48000, 1.0, 1));
    const struct {
        Handle h;
        std::int32_t asked, expected;
    } cases[] = {
        {h, 4 * 1234 + 3, 4 * 1234}, {h, -500, 0}, {h, 1 << 30, 40000}, {mono, 1001, 1000}};
    for (const auto& c : cases) {
        engine->channelSetPosition(c.h, c.asked);
        EXPECT_EQ(engine->channelGetPosition(c.h), c.expected) << "asked " << c.asked;
    }
    EXPECT_EQ(engine->streamGetLength(mono), 96000);
    EXPECT_FLOAT_EQ(engine->channelBytes2Seconds(h, -44100 * 2), -0.5f);
    EXPECT_FLOAT_EQ(engine->channelBytes2Seconds(mono, 96000), 1.0f);
    EXPECT_EQ(engine->channelGetPosition(0), -1);
}

TEST_F(EngineTransport, StopKeepsThePositionTheEndStopsAndLoopsWrapOnlyFromBefore) {
    const Pcm probe = makeProbe(20000);
    const Handle h = open("p.wav", probe);
    engine->streamPlay(h, 0, 0);
    engine->render(10000);
    EXPECT_TRUE(engine->channelStop(h));
    EXPECT_EQ(peak(channelOf(engine->render(4000), 0, kFade)), 0.0) << "silent after the fade-out";
    EXPECT_EQ(engine->channelGetPosition(h), 40000);
    // A non-zero flush drops buffered data only: play still goes on from the position.
    engine->streamPlay(h, 1, 0);
    expectFrames(engine->render(1000), kFade, probe, 10000 + kFade, 1000 - kFade);

    engine->channelSetPosition(h, 19000 * 4);
    const auto once = engine->render(2000);
    EXPECT_EQ(engine->channelGetPosition(h), 80000);
    EXPECT_EQ(engine->channelGetLevel(h), -1) << "stopped by itself";
    EXPECT_EQ(peak(channelOf(once, 0, 1000)), 0.0);

    engine->channelSetPosition(h, 19000 * 4);
    engine->streamPlay(h, 0, kPlayLoop);
    const auto looped = engine->render(3000);
    // The end fades out over its last frames and the start fades in; the wrap is sample-exact.
    expectFrames(looped, 700, probe, 19700, 100);
    expectFrames(looped, 1000 + kFade, probe, kFade, 2000 - kFade);
    EXPECT_EQ(engine->channelGetPosition(h), 2000 * 4);
    engine->channelStop(h);

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
}

TEST_F(EngineTransport, RatesAreClampedSlidesMoveLinearlyAndATapeStopKeepsPlaying) {
    const Handle h = open("s.wav", makeSine(1000, 0.5, 44100, 5.0));
    int rate = 0, volume = 0, pan = 0;
    for (auto [asked, expected] :
         {std::pair{10, 100}, {-4900, 100}, {500000, 100000}, {48510, 48510}, {0, 44100}}) {
        engine->channelSlideAttributes(h, asked, -1, kPanLeaveAlone, 0);
        engine->channelGetAttributes(h, &rate, &volume, &pan);
        EXPECT_EQ(rate, expected) << asked;
    }
    const Handle fast = open("f.wav", makeSine(1000, 0.5, 96000, 0.5));
    engine->channelSlideAttributes(fast, 500000, 150, -300, 0);
    engine->channelGetAttributes(fast, &rate, &volume, &pan);
    EXPECT_EQ(rate, 192000) << "twice a 96 kHz file's own rate";
    EXPECT_EQ(volume, 100);
    EXPECT_EQ(pan, -100);

    engine->streamPlay(h, 0, 0);
    engine->channelSlideAttributes(h, 88200, 0, kPanLeaveAlone, 1000);
    engine->render(22050);
    engine->channelGetAttributes(h, &rate, &volume, nullptr);
    EXPECT_NEAR(rate, 66150, 200);
    EXPECT_NEAR(volume, 50, 1);
    EXPECT_NEAR(engine->channelGetPosition(h) / 4, 27562, 200) << "at the mean rate, 55125 Hz";
    // A new rate alone replaces the rate slide; the volume slide runs on to silence.
    engine->channelSlideAttributes(h, 0, -1, kPanLeaveAlone, 0);
    engine->render(22050);
    engine->channelGetAttributes(h, &rate, &volume, nullptr);
    EXPECT_EQ(rate, 44100);
    EXPECT_EQ(volume, 0);
    EXPECT_EQ(peak(engine->render(4410)), 0.0) << "slid to silence";

    // A tape stop below the resampler's range goes on at 100 frames a second.
    engine->channelSlideAttributes(h, 10, 100, kPanLeaveAlone, 500);
    engine->render(44100);
    const std::int32_t before = engine->channelGetPosition(h);
    engine->render(44100);
    EXPECT_NEAR(engine->channelGetPosition(h) - before, 400, 8);
    engine->channelSlideAttributes(h, 0, -1, kPanLeaveAlone, 0);
    EXPECT_NEAR(measureHz(channelOf(engine->render(22050), 0, 1000)), 1000.0, 0.5);
}

TEST_F(EngineTransport, PlayAndSeekSoundOnlyFromTheNewPositionEvenWhenHeldAsAGroup) {
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

TEST_F(EngineLoop, AtAnyRateAPlayFromTheLoopStartAndEveryPassLandOnTheirFrame) {
    // At its own rate a loop wraps at the exact sample. Through the resampler the first frame
    // heard after a seek is the target itself; 11054 frames at 47628 Hz are 10234.8 output
    // frames, so a wrap rounded to a whole frame, or a frame late, would fall behind by most of a
    // frame every pass. Late in a progressive bend, a restart of the resampler at its slowest
    // rates must land as exactly; below a tenth of the output rate the engine interpolates
    // linearly.
    constexpr std::int64_t kStart = 10000;
    const Pcm sine = makeSine(1000, 0.5, 44100, 1.0);
    for (auto [rate, length, passes] : {std::tuple{44100, 4000, 2},
                                        {47628, 11054, 100},
                                        {5000, 200, 3},
                                        {300, 60, 1},
                                        {15000, 3000, 1},
                                        {100000, 30000, 1}}) {
        const double ratio = rate / 44100.0, pass = length / ratio;
        const Handle h = open("s" + std::to_string(rate) + ".wav", sine);
        engine->channelSlideAttributes(h, rate, -1, kPanLeaveAlone, 0);
        ASSERT_TRUE(engine->channelSetLoop(h, kStart * 4, (kStart + length) * 4));
        engine->channelSetPosition(h, kStart * 4);
        engine->streamPlay(h, 0, 0);
        const auto total = static_cast<int>(passes * pass + pass / 2);
        const auto out = engine->render(total);
        // A 1 kHz sine at 0.5 moves at most 0.071 per sample, times the ratio above 1; allow the
        // crossfade's own slope.
        EXPECT_LT(roughness(channelOf(out, 0, kFade), 1), 0.084 * std::max(1.0, ratio))
            << rate << " Hz: the seam clicks";
        // Output frame n plays source frame kStart + (n x ratio modulo the loop), past the
        // crossfade of each wrap and short of the ring the resampler's filter, long at a crawl,
        // puts just ahead of the splice: over the first pass and the last.
        for (auto [from, to] : {std::pair{kFade, int(pass)}, {int(passes * pass), total}})
            for (int i = from; i < to; i += 3) {
                const double sincePass = std::fmod(i, pass);
                if (sincePass < kFade || sincePass > pass - 64) continue;
                const double source = kStart + std::fmod(i * ratio, double(length));
                ASSERT_NEAR(out[2 * std::size_t(i)],
                            0.5 * std::sin(2 * M_PI * 1000 * source / 44100), 2e-3)
                    << rate << " Hz, output frame " << i;
            }
        const double off =
            std::fmod(engine->channelGetPosition(h) / 4 - kStart - total * ratio + 1000.0 * length,
                      double(length));
        EXPECT_LT(std::min(off, length - off), 1 + ratio) << rate << " Hz: the position";
        engine->streamFree(h);
    }
}

} // namespace
} // namespace zen::audio::test
