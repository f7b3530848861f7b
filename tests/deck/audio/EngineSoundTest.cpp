// The sound the engine makes, measured through the test clock: varispeed, equalizer, gains,
// clipping, crossfaded jumps, level and spectrum.
#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace zen::audio::test {
namespace {

class EngineSound : public ::testing::Test {
protected:
    // Plays a file of a sine and returns `seconds` of output after the first 0.1 s.
    Handle playSine(double hz, double amplitude, int rate = 44100, int channels = 2,
                    std::uint32_t flags = kStreamFx) {
        const std::string path = folder.path("sine" + std::to_string(files++) + ".wav");
        writeWav(path, makeSine(hz, amplitude, rate, 3.0, channels));
        const Handle h = engine->streamCreateFile(path, 0, 0, flags);
        EXPECT_NE(h, 0u);
        return h;
    }
    std::vector<float> listen(Handle h, double seconds) {
        EXPECT_TRUE(engine->streamPlay(h, 0, 0));
        engine->render(4410);
        return engine->render(static_cast<int>(seconds * 44100));
    }
    // Level in dB of the channel alone, which is then stopped and faded out.
    double measureDb(Handle h) {
        const double level = dB(rms(channelOf(listen(h, 1.0), 0)));
        engine->channelStop(h);
        engine->render(1024);
        return level;
    }

    TempFolder folder;
    int files = 0;
    std::unique_ptr<TestClockEngine> engine = startedClock();
};

TEST_F(EngineSound, RateIsThePlaybackSampleRate) {
    const Handle h = playSine(1000, 0.5);
    ASSERT_TRUE(engine->channelSlideAttributes(h, 51156, -1, kPanLeaveAlone, 0));
    EXPECT_NEAR(measureHz(channelOf(listen(h, 1.0), 0)), 1160.0, 0.5);
    engine->channelStop(h);
    engine->render(1024);

    // A 48000 Hz file at its own rate plays its own pitch, mono and centred.
    const Handle m = playSine(1000, 0.5, 48000, 1);
    const auto out = listen(m, 1.0);
    EXPECT_NEAR(measureHz(channelOf(out, 0)), 1000.0, 0.5);
    EXPECT_NEAR(rms(channelOf(out, 1)), rms(channelOf(out, 0)), 1e-6);
}

TEST_F(EngineSound, TheTopOctaveKeepsItsLevelAtEveryPitch) {
    // Tones that leave at 16 and 18 kHz, at the pitch fader's ends and at 0 %: at -16 % 18 kHz is
    // 97 % of the file's Nyquist.
    const double level = dB(0.5 / std::sqrt(2.0));
    for (int rate : {37044, 44100, 51156})
        for (double hz : {16000.0, 18000.0}) {
            const Handle h = playSine(hz * 44100 / rate, 0.5);
            engine->channelSlideAttributes(h, rate, -1, kPanLeaveAlone, 0);
            EXPECT_NEAR(measureDb(h), level, 0.5) << hz << " Hz at " << rate << " Hz";
            engine->streamFree(h);
        }

    // Nudged off 0 % while it plays, 16 kHz keeps its level all through, window by window (16
    // cycles each): nothing switches over.
    const Handle h = playSine(16000, 0.5);
    listen(h, 0.1);
    engine->channelSlideAttributes(h, 44122, -1, kPanLeaveAlone, 0);
    const auto left = channelOf(engine->render(2048), 0);
    double lowest = 0;
    for (auto at = left.begin(); at + 44 <= left.end(); at += 4)
        lowest = std::min(lowest, dB(rms({at, at + 44})) - level);
    EXPECT_GT(lowest, -0.5);
}

TEST_F(EngineSound, EqualizerBandRaisesItsCentreAndLeavesFarFrequenciesAlone) {
    for (double hz : {62.5, 1000.0, 16000.0}) {
        const double flat = measureDb(playSine(hz, 0.1));
        const Handle h = playSine(hz, 0.1);
        const Handle fx = engine->channelSetFx(h, kFxParamEq);
        ASSERT_NE(fx, 0u);
        ASSERT_TRUE(engine->fxSetParameters(fx, ParamEq{1000, 12, 15}));
        EXPECT_NEAR(measureDb(h) - flat, hz == 1000.0 ? 15.0 : 0.0, 0.2) << hz << " Hz";
    }
}

TEST_F(EngineSound, EqualizerBandsAddUpInTheOrderAdded) {
    const double flat = measureDb(playSine(1000, 0.05));
    const Handle h = playSine(1000, 0.05);
    for (float gain : {6.0f, -3.0f, 10.0f}) {
        const Handle fx = engine->channelSetFx(h, kFxParamEq);
        engine->fxSetParameters(fx, ParamEq{1000, 12, gain});
    }
    EXPECT_NEAR(measureDb(h) - flat, 13.0, 0.2);
}

TEST_F(EngineSound, VolumePanAndGlobalVolumesMultiply) {
    const Handle h = playSine(1000, 0.5);
    engine->channelSlideAttributes(h, -1, 50, -50, 0);
    engine->setGlobalVolumes(100, 100, 40);
    auto out = listen(h, 0.5);
    EXPECT_NEAR(peak(channelOf(out, 0)), 0.5 * 0.5 * 0.4, 2e-3);
    EXPECT_NEAR(peak(channelOf(out, 1)), 0.5 * 0.5 * 0.4 * 0.5, 2e-3);

    // Pan -1 is a position, not "leave alone"; the module volume does not touch streams.
    engine->channelSlideAttributes(h, -1, -1, 100, 0);
    engine->setGlobalVolumes(0, 100, 100);
    out = engine->render(22050);
    EXPECT_NEAR(peak(channelOf(out, 0, 512)), 0.0, 1e-6);
    EXPECT_NEAR(peak(channelOf(out, 1, 512)), 0.25, 2e-3);
}

TEST_F(EngineSound, OutputIsClippedAtFullScaleNotWrapped) {
    const Handle h = playSine(1000, 1.0);
    const Handle fx = engine->channelSetFx(h, kFxParamEq);
    engine->fxSetParameters(fx, ParamEq{1000, 12, 15});
    const auto out = channelOf(listen(h, 0.5), 0);
    EXPECT_FLOAT_EQ(static_cast<float>(peak(out)), 1.0f);
    const auto clipped = std::count(out.begin(), out.end(), 1.0f);
    EXPECT_GT(clipped, 1000);
}

TEST_F(EngineSound, SeeksWhilePlayingCrossfadeInsteadOfClicking) {
    const Handle h = playSine(1000, 0.5);
    listen(h, 0.1);
    std::vector<float> out;
    for (int i = 0; i < 20; ++i) {
        // Land half a cycle off each time: an abrupt jump would step by up to a full swing.
        engine->channelSetPosition(h, (10000 + 22 * (i % 2) + 441 * i) * 4);
        const auto part = engine->render(1000);
        out.insert(out.end(), part.begin(), part.end());
    }
    const auto left = channelOf(out, 0);
    double worst = 0;
    for (std::size_t i = 1; i < left.size(); ++i)
        worst = std::max(worst, double(std::abs(left[i] - left[i - 1])));
    // A 1 kHz sine at 0.5 moves at most 0.071 per sample; allow the crossfade's own slope.
    EXPECT_LT(worst, 0.12);
}

TEST_F(EngineSound, PlayThenSeekSoundsOnlyFromTheNewPosition) {
    // Loud for a second, then silent: cue-play from the silent part must stay silent.
    Pcm pcm = makeSine(1000, 0.9, 44100, 2.0);
    std::fill(pcm.samples.begin() + 2 * 44100, pcm.samples.end(), std::int16_t{0});
    writeWav(folder.path("half.wav"), pcm);
    const Handle h = engine->streamCreateFile(folder.path("half.wav"), 0, 0, kStreamFx);
    engine->streamPreBuf(h);
    engine->streamPlay(h, 0, 0);
    engine->channelSetPosition(h, 44100 * 4 + 4000);
    EXPECT_EQ(peak(engine->render(2000)), 0.0);
}

TEST_F(EngineSound, EqualizerChangesGlideInsteadOfClicking) {
    const Handle h = playSine(200, 0.05);
    const Handle fx = engine->channelSetFx(h, kFxParamEq);
    engine->fxSetParameters(fx, ParamEq{200, 36, -15});
    listen(h, 0.1);
    std::vector<float> out;
    for (int i = 0; i < 10; ++i) {
        // A kill and its release, as the band label does them.
        engine->fxSetParameters(fx, ParamEq{200, 36, i % 2 ? -15.0f : 15.0f});
        const auto part = engine->render(4000);
        out.insert(out.end(), part.begin(), part.end());
    }
    const auto left = channelOf(out, 0);
    double worst = 0;
    for (std::size_t i = 2; i < left.size(); ++i)
        worst = std::max(worst, double(std::abs(left[i] - 2 * left[i - 1] + left[i - 2])));
    // A 200 Hz sine of amplitude 0.05 x 5.6 (+15 dB) bends by at most 3.6e-4 per sample.
    EXPECT_LT(worst, 1e-3);
}

TEST_F(EngineSound, LevelIsThePeakAfterTheEqualizerBeforeVolumeAndPan) {
    const Handle h = playSine(1000, 1.0);
    EXPECT_EQ(engine->channelGetLevel(h), -1) << "not playing yet";
    engine->channelSlideAttributes(h, -1, 10, -100, 0);
    listen(h, 0.1);
    EXPECT_EQ(engine->channelGetLevel(h), 128 | (128 << 16));

    const Handle half = playSine(1000, 0.5, 44100, 1);
    listen(half, 0.1);
    EXPECT_EQ(engine->channelGetLevel(half), 64 | (64 << 16));
    const Handle fx = engine->channelSetFx(half, kFxParamEq);
    engine->fxSetParameters(fx, ParamEq{1000, 12, -6.0206f});
    engine->render(4410);
    EXPECT_EQ(engine->channelGetLevel(half), 32 | (32 << 16));

    engine->channelStop(h);
    EXPECT_EQ(engine->channelGetLevel(h), -1);
    EXPECT_EQ(engine->channelGetLevel(0), -1);
}

TEST_F(EngineSound, SpectrumOfAFullScaleSineReadsHalfInItsBin) {
    const double binHz = 44100.0 / 2048;
    const Handle h = playSine(100 * binHz, 1.0);
    float bins[1025];
    std::fill(std::begin(bins), std::end(bins), -7.0f);
    EXPECT_EQ(engine->channelGetData(h, bins, kDataFft2048), -1);
    EXPECT_EQ(bins[0], -7.0f) << "untouched when not playing";

    listen(h, 0.1);
    EXPECT_GT(engine->channelGetData(h, bins, kDataFft2048), 0);
    EXPECT_NEAR(bins[100], 0.5, 0.005);
    EXPECT_NEAR(bins[99], 0.25, 0.005) << "Hann main lobe";
    EXPECT_LT(bins[300], 1e-3);
    EXPECT_EQ(bins[1024], -7.0f) << "1024 values only";

    const Handle k = playSine(1000, 0.5);
    engine->channelStop(h);
    listen(k, 0.1);
    engine->channelGetData(k, bins, kDataFft2048);
    EXPECT_EQ(std::max_element(bins, bins + 1024) - bins, 46);
}

} // namespace
} // namespace zen::audio::test
