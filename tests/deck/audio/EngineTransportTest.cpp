// Positions, seeks, stop, end of stream, rates and slides, checked sample by sample through the
// test clock.
#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace zen::audio::test {
namespace {

// The crossfade over a start or a jump, in frames.
constexpr int kFade = 128;

class EngineTransport : public ::testing::Test {
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

TEST_F(EngineTransport, AnMp3PlaysSampleExactFromAnySeekToItsExactEnd) {
    writeWav(folder.path("s.wav"), makeSignal(2, 44100, 44100 * 3 + 1234));
    encodeMp3(folder.path("s.wav"), folder.path("s.mp3"), "-t -b 128");
    // What a straight decode from the start gives, played from its start, is the truth for every
    // frame; without a LAME frame the length is known only once counted.
    const Pcm decoded = decodeAll(folder.path("s.mp3"));
    const Handle whole = open("truth.wav", decoded);
    engine->streamPlay(whole, 0, 0);
    const auto truth = engine->render(int(decoded.frames()));
    engine->streamFree(whole);
    const Handle h = engine->streamCreateFile(folder.path("s.mp3"), 0, 0, kStreamFx);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(engine->streamGetLength(h), decoded.frames() * 4);
    for (std::int64_t target : {100003, 44100 * 3 + 17, 5}) {
        ASSERT_TRUE(engine->channelSetPosition(h, static_cast<std::int32_t>(target * 4)));
        engine->streamPlay(h, 0, 0);
        const auto out = engine->render(2000);
        // Past the fade-in; a frame off would differ by the signal's own noise, 0.05.
        for (std::size_t i = 2 * kFade; i < out.size(); ++i)
            ASSERT_NEAR(out[i], truth[2 * std::size_t(target) + i], 1e-4) << "from " << target;
        EXPECT_EQ(engine->channelGetPosition(h), (target + 2000) * 4);
        engine->channelStop(h);
    }
    // Played to its end, it stops exactly there.
    engine->channelSetPosition(h, static_cast<std::int32_t>((decoded.frames() - 1000) * 4));
    engine->streamPlay(h, 0, 0);
    engine->render(2000);
    EXPECT_EQ(engine->channelGetPosition(h), decoded.frames() * 4);
    EXPECT_EQ(engine->channelGetLevel(h), -1) << "stopped by itself";
}

TEST_F(EngineTransport, SeeksAtAnyRateLandOnTheirFrame) {
    // Through the resampler the first frame heard after a seek is the target itself, and the
    // position moves on from it at the rate: the resampler's delay is counted.
    const Pcm tone = makeSine(1000, 0.5, 44100, 1.0);
    for (int rate : {300, 15000, 37044, 51156, 100000}) {
        const Handle h = open("s" + std::to_string(rate) + ".wav", tone);
        const double ratio = rate / 44100.0;
        engine->channelSlideAttributes(h, rate, -1, kPanLeaveAlone, 0);
        engine->channelSetPosition(h, 20000 * 4);
        engine->streamPlay(h, 0, 0);
        const auto out = engine->render(1500);
        for (int i = kFade; i < 1500; i += 3)
            ASSERT_NEAR(out[2 * i], 0.5 * std::sin(2 * M_PI * 1000 * (20000 + i * ratio) / 44100),
                        2e-3)
                << rate << " Hz, output frame " << i;
        EXPECT_NEAR(engine->channelGetPosition(h) / 4, 20000 + 1500 * ratio, 1) << rate << " Hz";
        engine->streamFree(h);
    }
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
    EXPECT_EQ(engine->streamGetLength(h), 40000);
    EXPECT_EQ(engine->streamGetLength(mono), 96000);
    EXPECT_FLOAT_EQ(engine->channelBytes2Seconds(h, -44100 * 2), -0.5f);
    EXPECT_FLOAT_EQ(engine->channelBytes2Seconds(mono, 96000), 1.0f);
    EXPECT_EQ(engine->channelGetPosition(0), -1);
}

TEST_F(EngineTransport, StopKeepsThePositionTheEndStopsAndTheLoopFlagWraps) {
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
}

TEST_F(EngineTransport, ATruncatedFileEndsWhereItsDataEnds) {
    const Pcm probe = makeProbe(20000);
    writeWav(folder.path("cut.wav"), probe);
    // The header still promises 20000 frames; the data stops after 8000.
    std::filesystem::resize_file(folder.path("cut.wav"), 44 + 8000 * 4);
    const Handle h = engine->streamCreateFile(folder.path("cut.wav"), 0, 0, kStreamFx);
    ASSERT_NE(h, 0u);
    engine->streamPlay(h, 0, 0);
    const auto out = engine->render(10000);
    // The resampler's filter rings a few frames ahead of the cut.
    expectFrames(out, 7000, probe, 7000, 990);
    EXPECT_EQ(peak(channelOf(out, 0, 8000)), 0.0);
    EXPECT_EQ(engine->channelGetPosition(h), 8000 * 4);
    EXPECT_EQ(engine->channelGetLevel(h), -1) << "stopped at the end of the data";
    engine->channelSetPosition(h, 15000 * 4);
    EXPECT_EQ(engine->channelGetPosition(h), 8000 * 4) << "no seeking into what is not there";
}

TEST_F(EngineTransport, RatesAreClampedAndATapeStopKeepsPlaying) {
    const Handle h = open("s.wav", makeSine(1000, 0.5, 44100, 2.0));
    int rate = 0, volume = 0, pan = 0;
    for (auto [asked, expected] :
         {std::pair{10, 100}, {-4900, 100}, {500000, 100000}, {48510, 48510}, {0, 44100}}) {
        engine->channelSlideAttributes(h, asked, -1, kPanLeaveAlone, 0);
        engine->channelGetAttributes(h, &rate, &volume, &pan);
        EXPECT_EQ(rate, expected) << asked;
    }
    EXPECT_EQ(volume, 100);
    EXPECT_EQ(pan, 0);
    const Handle fast = open("f.wav", makeSine(1000, 0.5, 96000, 0.5));
    engine->channelSlideAttributes(fast, 500000, 150, -300, 0);
    engine->channelGetAttributes(fast, &rate, &volume, &pan);
    EXPECT_EQ(rate, 192000);
    EXPECT_EQ(volume, 100);
    EXPECT_EQ(pan, -100);

    // A tape stop below the resampler's range goes on at 100 frames a second.
    engine->streamPlay(h, 0, 0);
    engine->channelSlideAttributes(h, 10, -1, kPanLeaveAlone, 500);
    engine->render(44100);
    const std::int32_t before = engine->channelGetPosition(h);
    engine->render(44100);
    EXPECT_NEAR(engine->channelGetPosition(h) - before, 400, 8);
    engine->channelSlideAttributes(h, 0, -1, kPanLeaveAlone, 0);
    EXPECT_NEAR(measureHz(channelOf(engine->render(22050), 0, 1000)), 1000.0, 0.5);
}

TEST_F(EngineTransport, SlidesMoveLinearlyAndANewSlideReplacesTheOld) {
    const Handle h = open("s.wav", makeSine(1000, 0.5, 44100, 5.0));
    engine->streamPlay(h, 0, 0);
    engine->channelSlideAttributes(h, 88200, 0, kPanLeaveAlone, 1000);
    engine->render(22050);
    int rate = 0, volume = 0;
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
}

} // namespace
} // namespace zen::audio::test
