// Positions, seeks, stop, end of stream, loops and slides, checked sample by sample through the
// test clock.
#include "EngineTestSupport.h"

#include <sndfile.h>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace zen::audio::test {
namespace {

// The crossfade over a start or a jump, in frames.
constexpr int kFade = 128;

class EngineTransport : public ::testing::Test {
protected:
    Handle open(const std::string& name, const Pcm& pcm, std::uint32_t flags = kStreamFx) {
        const std::string path = folder.path(name);
        writeWav(path, pcm);
        const Handle h = engine->streamCreateFile(path, 0, 0, flags);
        EXPECT_NE(h, 0u);
        return h;
    }
    TempFolder folder;
    std::unique_ptr<TestClockEngine> engine = startedClock();
};

TEST_F(EngineTransport, SeeksAreSampleExactInWavMp3AndOgg) {
    const Pcm signal = makeSignal(2, 44100, 44100 * 4);
    writeWav(folder.path("s.wav"), signal);
    writeSndfile(folder.path("s.ogg"), signal, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    encodeMp3(folder.path("s.wav"), folder.path("s.mp3"), "-b 192");
    for (const char* name : {"s.wav", "s.mp3", "s.ogg"}) {
        // What a straight decode from the start gives, played from its start, is the truth for
        // every frame.
        const Handle whole = open("truth.wav", decodeAll(folder.path(name)));
        engine->streamPlay(whole, 0, 0);
        const auto truth = engine->render(44100 * 3 + 2017);
        engine->channelStop(whole);
        engine->render(256);
        engine->streamFree(whole);
        const Handle h = engine->streamCreateFile(folder.path(name), 0, 0, kStreamFx);
        ASSERT_NE(h, 0u) << name;
        for (std::int64_t target : {100003, 44100 * 3 + 17, 5}) {
            ASSERT_TRUE(engine->channelSetPosition(h, static_cast<std::int32_t>(target * 4)));
            EXPECT_EQ(engine->channelGetPosition(h), target * 4) << name;
            engine->streamPlay(h, 0, 0);
            const auto out = engine->render(2000);
            // Past the fade-in; a frame off would differ by the signal's own noise, 0.05.
            double worst = 0;
            for (std::size_t i = 2 * kFade; i < out.size(); ++i)
                worst = std::max(worst, double(std::abs(out[i] - truth[2 * target + i])));
            EXPECT_LT(worst, 1e-4) << name << " from " << target;
            EXPECT_EQ(engine->channelGetPosition(h), (target + 2000) * 4) << name;
            engine->channelStop(h);
            engine->render(256);
        }
        engine->streamFree(h);
    }
}

TEST_F(EngineTransport, AnMp3WithoutALameHeaderHasItsExactDecodedLength) {
    writeWav(folder.path("s.wav"), makeSignal(2, 44100, 44100 * 3 + 1234));
    encodeMp3(folder.path("s.wav"), folder.path("s.mp3"), "-t -b 128");
    const Pcm truth = decodeAll(folder.path("s.mp3"));
    const Handle h = engine->streamCreateFile(folder.path("s.mp3"), 0, 0, kStreamFx);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(engine->streamGetLength(h), truth.frames() * 4);
    // Played to its end, it stops exactly there.
    engine->channelSetPosition(h, static_cast<std::int32_t>((truth.frames() - 1000) * 4));
    engine->streamPlay(h, 0, 0);
    engine->render(2000);
    EXPECT_EQ(engine->channelGetPosition(h), truth.frames() * 4);
    EXPECT_EQ(engine->channelGetLevel(h), -1);
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
    EXPECT_EQ(engine->streamGetLength(h), 40000);
    engine->channelSetPosition(h, 4 * 1234 + 3);
    EXPECT_EQ(engine->channelGetPosition(h), 4 * 1234);
    engine->channelSetPosition(h, -500);
    EXPECT_EQ(engine->channelGetPosition(h), 0);
    engine->channelSetPosition(h, 1 << 30);
    EXPECT_EQ(engine->channelGetPosition(h), 40000);
    EXPECT_FLOAT_EQ(engine->channelBytes2Seconds(h, 44100 * 4), 1.0f);
    EXPECT_FLOAT_EQ(engine->channelBytes2Seconds(h, -44100 * 2), -0.5f);

    const Handle mono = open("m.wav", makeSine(440, 0.5, 48000, 1.0, 1));
    EXPECT_EQ(engine->streamGetLength(mono), 96000);
    EXPECT_FLOAT_EQ(engine->channelBytes2Seconds(mono, 96000), 1.0f);
    engine->channelSetPosition(mono, 1001);
    EXPECT_EQ(engine->channelGetPosition(mono), 1000);
    EXPECT_EQ(engine->channelGetPosition(0), -1);
}

TEST_F(EngineTransport, StopKeepsThePositionAndPlayGoesOnFromIt) {
    const Pcm probe = makeProbe(44100);
    const Handle h = open("p.wav", probe);
    engine->streamPlay(h, 0, 0);
    engine->render(10000);
    EXPECT_TRUE(engine->channelStop(h));
    EXPECT_EQ(engine->channelGetPosition(h), 40000);
    const auto quiet = engine->render(4000);
    EXPECT_EQ(engine->channelGetPosition(h), 40000);
    EXPECT_EQ(peak(channelOf(quiet, 0, kFade)), 0.0) << "silent after the fade-out";
    // A non-zero flush drops buffered data only: play still goes on from the position.
    engine->streamPlay(h, 1, 0);
    const auto out = engine->render(1000);
    expectFrames(out, kFade, probe, 10000 + kFade, 1000 - kFade);
}

TEST_F(EngineTransport, TheEndStopsAtTheLengthAndTheLoopFlagWrapsSampleExact) {
    const Pcm probe = makeProbe(5000);
    const Handle h = open("p.wav", probe);
    engine->streamPlay(h, 0, 0);
    const auto once = engine->render(6000);
    EXPECT_EQ(engine->channelGetPosition(h), 20000);
    EXPECT_EQ(engine->channelGetLevel(h), -1) << "stopped by itself";
    EXPECT_EQ(peak(channelOf(once, 0, 5000)), 0.0);

    engine->channelSetPosition(h, 4000 * 4);
    engine->streamPlay(h, 0, kPlayLoop);
    const auto looped = engine->render(3000);
    // The end fades out over its last frames and the start fades in; the wrap is sample-exact.
    expectFrames(looped, 700, probe, 4700, 100);
    expectFrames(looped, 1000 + kFade, probe, kFade, 2000 - kFade);
    EXPECT_EQ(engine->channelGetPosition(h), 2000 * 4);
    EXPECT_NE(engine->channelGetLevel(h), -1);
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
    EXPECT_EQ(engine->streamGetLength(h), 8000 * 4);
    EXPECT_EQ(engine->channelGetPosition(h), 8000 * 4);
    EXPECT_EQ(engine->channelGetLevel(h), -1) << "stopped at the end of the data";
    engine->channelSetPosition(h, 15000 * 4);
    EXPECT_EQ(engine->channelGetPosition(h), 8000 * 4) << "no seeking into what is not there";
}

TEST_F(EngineTransport, RatesAreClampedAndReportedAsTheyAre) {
    const Handle h = open("s.wav", makeSine(1000, 0.5, 44100, 2.0));
    int rate = 0, volume = 0, pan = 0;
    engine->channelGetAttributes(h, &rate, &volume, &pan);
    EXPECT_EQ(rate, 44100);
    EXPECT_EQ(volume, 100);
    EXPECT_EQ(pan, 0);
    const std::pair<int, int> cases[] = {
        {10, 100}, {-4900, 100}, {500000, 100000}, {48510, 48510}, {0, 44100}};
    for (auto [asked, expected] : cases) {
        engine->channelSlideAttributes(h, asked, -1, kPanLeaveAlone, 0);
        engine->channelGetAttributes(h, &rate, nullptr, nullptr);
        EXPECT_EQ(rate, expected) << asked;
    }
    const Handle fast = open("f.wav", makeSine(1000, 0.5, 96000, 0.5));
    engine->channelSlideAttributes(fast, 500000, 150, -300, 0);
    engine->channelGetAttributes(fast, &rate, &volume, &pan);
    EXPECT_EQ(rate, 192000);
    EXPECT_EQ(volume, 100);
    EXPECT_EQ(pan, -100);
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
    // Half the time at the mean rate of 55125 Hz.
    EXPECT_NEAR(engine->channelGetPosition(h) / 4, 27562, 200);
    engine->render(22050);
    engine->channelGetAttributes(h, &rate, &volume, nullptr);
    EXPECT_EQ(rate, 88200);
    EXPECT_EQ(volume, 0);
    EXPECT_EQ(peak(engine->render(4410)), 0.0);

    engine->channelSlideAttributes(h, 100000, 100, -1, 2000);
    engine->render(4410);
    engine->channelSlideAttributes(h, 0, -1, kPanLeaveAlone, 0);
    engine->render(22050);
    int pan = 0;
    engine->channelGetAttributes(h, &rate, &volume, &pan);
    EXPECT_EQ(rate, 44100);
    EXPECT_NEAR(volume, 100 * 26460 / 88200, 1) << "the volume slide runs on";
    EXPECT_NEAR(measureHz(channelOf(engine->render(22050), 0)), 1000.0, 0.5);
    engine->render(44100);
    engine->channelGetAttributes(h, &rate, &volume, &pan);
    EXPECT_EQ(volume, 100);
    EXPECT_EQ(pan, -1);
}

TEST_F(EngineTransport, ATapeStopBelowTheResamplerRangeKeepsPlaying) {
    const Handle h = open("s.wav", makeSine(1000, 0.5, 44100, 2.0));
    engine->streamPlay(h, 0, 0);
    engine->channelSlideAttributes(h, 10, -1, kPanLeaveAlone, 500);
    engine->render(44100);
    int rate = 0;
    engine->channelGetAttributes(h, &rate, nullptr, nullptr);
    EXPECT_EQ(rate, 100);
    const std::int32_t before = engine->channelGetPosition(h);
    engine->render(44100);
    EXPECT_NEAR(engine->channelGetPosition(h) - before, 400, 8) << "100 frames a second";
    engine->channelSlideAttributes(h, 0, -1, kPanLeaveAlone, 0);
    EXPECT_NEAR(measureHz(channelOf(engine->render(22050), 0, 1000)), 1000.0, 0.5);
}

} // namespace
} // namespace zen::audio::test
