// The sound the engine makes, measured through the test clock: varispeed, equalizer, gains,
// level, clipping and crossfaded jumps; and the resampler on the audio thread.
#include "EngineTestSupport.h"
#include "deck/audio/Varispeed.h"
#include "deck/audio/Voice.h"

#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace zen::audio::test {
namespace {

class EngineSound : public EngineTest {
protected:
    // A playing file of a sine, `rate` its playback rate, heard from 0.1 s on.
    Handle playSine(double hz, double amplitude, int rate = 44100) {
        const Handle h =
            open("sine" + std::to_string(files++) + ".wav", makeSine(hz, amplitude, 44100, 3.0));
        engine->channelSlideAttributes(h, rate, -1, kPanLeaveAlone, 0);
        EXPECT_TRUE(engine->streamPlay(h, 0, 0));
        engine->render(4410);
        return h;
    }
    // Peak level in dB of the left channel over a second; the channel is then freed.
    double measureDb(Handle h) {
        const double level = 20 * std::log10(peak(channelOf(engine->render(44100), 0)));
        engine->streamFree(h);
        engine->render(1024);
        return level;
    }
    int files = 0;
};

TEST_F(EngineSound, TheRateSetsThePitchAndTheTopOctaveKeepsItsLevel) {
    const Handle h = playSine(1000, 0.5, 51156);
    EXPECT_NEAR(measureHz(channelOf(engine->render(44100), 0)), 1160.0, 0.5);
    engine->streamFree(h);
    // A mono file at 48 kHz plays at its own pitch, the same on both sides.
    const Handle mono = open("mono.wav", makeSine(1000, 0.5, 48000, 1.0, 1));
    engine->streamPlay(mono, 0, 0);
    const auto out = engine->render(44100);
    EXPECT_NEAR(measureHz(channelOf(out, 0, 1024)), 1000.0, 0.5);
    EXPECT_EQ(channelOf(out, 1), channelOf(out, 0));
    engine->streamFree(mono);
    // Tones that leave at 18 kHz at the pitch fader's ends and at 0 %: at -16 % that is 97 % of
    // the file's Nyquist.
    for (int rate : {37044, 44100, 51156})
        EXPECT_NEAR(measureDb(playSine(18000.0 * 44100 / rate, 0.5, rate)), 20 * std::log10(0.5),
                    0.5)
            << "at " << rate << " Hz";
}

TEST_F(EngineSound, APitchAcrossTheFilesRateGlidesAndNothingFoldsBackPastTheNyquist) {
    // From -5 % to +5 % the file's rate passes the output's, where the varispeed changes its
    // kernel: the sine's curvature (0.0101 a sample at 0 %) never jumps, and its level holds.
    const Handle h = playSine(1000, 0.5, 41895);
    engine->channelSlideAttributes(h, 46305, -1, kPanLeaveAlone, 500);
    const auto glide = channelOf(engine->render(22050), 0);
    EXPECT_LT(roughness(glide, 2), 0.0101 * 1.05 * 1.05 * 1.1);
    EXPECT_NEAR(peak(std::vector<float>(glide.begin() + 20000, glide.end())), 0.5, 0.002);
    engine->streamFree(h);
    engine->render(1024);
    // A 21 kHz tone at +16 % leaves at 24.4 kHz, past the Nyquist: what comes out is its alias.
    EXPECT_LT(measureDb(playSine(21000, 0.5, 51156)), 20 * std::log10(0.5) - 60);
}

TEST_F(EngineSound, EqualizerBandsShapeTheirBandAddUpAndGlide) {
    // A band of an octave at 1 kHz: its full gain at the centre, half at its edges, none far off.
    for (auto [hz, gain] : {std::pair{62.5, 0.0}, {1000.0, 15.0}, {1414.2, 7.5}, {16000.0, 0.0}}) {
        const double flat = measureDb(playSine(hz, 0.1));
        const Handle h = playSine(hz, 0.1);
        ASSERT_TRUE(
            engine->fxSetParameters(engine->channelSetFx(h, kFxParamEq), ParamEq{1000, 12, 15}));
        engine->render(4410);
        EXPECT_NEAR(measureDb(h) - flat, gain, 0.3) << hz << " Hz";
    }
    const double flat = measureDb(playSine(1000, 0.05));
    const Handle h = playSine(1000, 0.05);
    for (float gain : {6.0f, -3.0f, 10.0f})
        engine->fxSetParameters(engine->channelSetFx(h, kFxParamEq), ParamEq{1000, 12, gain});
    engine->render(4410);
    EXPECT_NEAR(measureDb(h) - flat, 13.0, 0.2) << "three bands add up";

    // A kill and its release, as the band label does them, bend a 200 Hz sine of 0.05 x 5.6
    // (+15 dB) by no more than its own 3.6e-4 a sample.
    const Handle low = playSine(200, 0.05);
    const Handle fx = engine->channelSetFx(low, kFxParamEq);
    std::vector<float> out;
    for (int i = 0; i < 10; ++i) {
        engine->fxSetParameters(fx, ParamEq{200, 36, i % 2 ? -15.0f : 15.0f});
        const auto part = engine->render(4000);
        out.insert(out.end(), part.begin(), part.end());
    }
    EXPECT_LT(roughness(channelOf(out, 0), 2), 1e-3);
}

TEST_F(EngineSound, GainsMultiplyTheLevelReadsBeforeThemAndTheOutputClips) {
    EXPECT_EQ(engine->channelGetLevel(0), -1);
    const Handle h = playSine(1000, 0.5);
    engine->channelSlideAttributes(h, -1, 50, -50, 0);
    engine->setGlobalVolumes(100, 100, 40);
    auto out = engine->render(22050);
    EXPECT_NEAR(peak(channelOf(out, 0, 512)), 0.5 * 0.5 * 0.4, 2e-3) << "left";
    EXPECT_NEAR(peak(channelOf(out, 1, 512)), 0.5 * 0.5 * 0.4 * 0.5, 2e-3) << "right, panned away";
    EXPECT_EQ(engine->channelGetLevel(h), 64 | (64 << 16)) << "half scale, before the gains";

    // Pan -1 is a position, not "leave alone"; the module volume does not touch streams.
    engine->channelSlideAttributes(h, -1, -1, 100, 0);
    engine->setGlobalVolumes(0, 100, 100);
    out = engine->render(22050);
    EXPECT_NEAR(peak(channelOf(out, 0, 512)), 0.0, 1e-6);
    EXPECT_NEAR(peak(channelOf(out, 1, 512)), 0.25, 2e-3);

    const Handle fx = engine->channelSetFx(h, kFxParamEq);
    engine->fxSetParameters(fx, ParamEq{1000, 12, -6.0206f});
    engine->render(4410);
    EXPECT_EQ(engine->channelGetLevel(h), 32 | (32 << 16)) << "after the equalizer";
    engine->channelStop(h);
    EXPECT_EQ(engine->channelGetLevel(h), -1) << "stopped";
    // Raised 15 dB, full scale is clipped at full scale, not wrapped round.
    engine->channelSlideAttributes(h, -1, 100, 0, 0);
    engine->fxSetParameters(fx, ParamEq{1000, 12, 15});
    engine->streamPlay(h, 0, 0);
    const auto clipped = channelOf(engine->render(22050), 0, 4410);
    EXPECT_FLOAT_EQ(static_cast<float>(peak(clipped)), 1.0f);
    EXPECT_GT(std::count(clipped.begin(), clipped.end(), 1.0f), 1000);
}

TEST_F(EngineSound, SeeksAndFreesWhilePlayingFadeInsteadOfClicking) {
    const Handle h = playSine(1000, 0.5);
    std::vector<float> out;
    for (int i = 0; i < 20; ++i) {
        // Land half a cycle off each time: an abrupt jump would step by up to a full swing.
        engine->channelSetPosition(h, (10000 + 22 * (i % 2) + 441 * i) * 4);
        const auto part = engine->render(1000);
        out.insert(out.end(), part.begin(), part.end());
    }
    engine->streamFree(h);
    const auto freed = engine->render(2000);
    out.insert(out.end(), freed.begin(), freed.end());
    EXPECT_EQ(peak(channelOf(freed, 0, kFade)), 0.0) << "faded out once freed";
    // A 1 kHz sine at 0.5 moves at most 0.071 per sample; allow the crossfade's own slope.
    EXPECT_LT(roughness(channelOf(out, 0), 1), 0.12);
}

// While playing, the voice renders ahead of what is heard: the level and the spectrum still tell
// what is heard, and a change of rate is heard from the next block on, without a click.
TEST_F(EngineSound, WhatWasRenderedAheadGivesWayToWhatIsHeardAndToARateChange) {
    // Silent for half a second, then a 1 kHz sine.
    Pcm pcm = makeSine(1000, 0.5, 44100, 2.0);
    std::fill(pcm.samples.begin(), pcm.samples.begin() + 2 * 22050, std::int16_t{0});
    const Handle h = open("late.wav", pcm);
    engine->streamPlay(h, 0, 0);
    // 40 blocks: the sine is rendered already, but not heard yet.
    engine->render(40 * 256);
    float bins[1024];
    ASSERT_EQ(engine->channelGetData(h, bins, kDataFft2048), 4096);
    EXPECT_EQ(engine->channelGetLevel(h), 0);
    EXPECT_EQ(*std::max_element(bins, bins + 1024), 0.0f);
    engine->render(22050 + 4410 - 40 * 256);
    EXPECT_EQ(engine->channelGetLevel(h), 64 | (64 << 16));

    engine->channelSlideAttributes(h, 48510, -1, kPanLeaveAlone, 0);
    int rate = 0;
    engine->channelGetAttributes(h, &rate, nullptr, nullptr);
    EXPECT_EQ(rate, 48510);
    const auto out = engine->render(2048);
    EXPECT_NEAR(measureHz(channelOf(out, 0, kFade)), 1100.0, 2.0);
    EXPECT_LT(roughness(channelOf(out, 0), 1), 0.084 * 1.1) << "the change clicks";
    EXPECT_NEAR(engine->channelGetPosition(h) / 4, 22050 + 4410 + 2048 * 1.1, 1);
}

// A sound server at 44.1, 48 or 96 kHz plays the same music: the output's rate is folded into
// the varispeed, and everything the deck reads or sets is at the track's rate, Hz or bins of
// 44100 / 2048, whatever the output's. Only the equalizer works at the output's rate, as a mixer
// after the varispeed does.
TEST(OutputRates, TheSameTrackPlaysAlikeAtEveryOutputRate) {
    TempFolder folder;
    const std::string file = writeSndfile(folder.path("s.wav"), makeSine(1000, 0.5, 44100, 5.0));
    constexpr int kPitch = 47628; // +8 %: the tone is heard at 1080 Hz
    constexpr std::int64_t kStart = 10000, kLength = 11054;
    for (double out : {44100.0, 48000.0, 88200.0, 96000.0}) {
        SCOPED_TRACE(std::to_string(int(out)) + " Hz output");
        auto engine = createTestClockEngine(out);
        ASSERT_TRUE(engine->init(0, 44100, 0) && engine->start());
        const Handle h = engine->streamCreateFile(file, 0, 0, kStreamFx);
        engine->channelSlideAttributes(h, kPitch, -1, kPanLeaveAlone, 0);
        engine->streamPlay(h, 0, 0);
        // A second of the output: the pitch, where it got to, the level and the spectrum.
        const auto second = engine->render(static_cast<int>(out));
        EXPECT_NEAR(measureHz(channelOf(second, 0, 1024), out), 1080.0, 0.5);
        EXPECT_NEAR(engine->channelGetPosition(h) / 4, kPitch, 2);
        EXPECT_EQ(engine->channelGetLevel(h), 64 | (64 << 16));
        float bins[1024];
        ASSERT_EQ(engine->channelGetData(h, bins, kDataFft2048), 4096);
        const auto loudest = std::max_element(bins, bins + 1024) - bins;
        EXPECT_EQ(loudest, 50) << "1080 Hz lies in bin 1080 x 2048 / 44100 = 50.2";
        EXPECT_NEAR(bins[loudest], 0.25, 0.01);

        // A slide back to the file's rate over a second is half done after half a second.
        engine->channelSlideAttributes(h, 44100, -1, kPanLeaveAlone, 1000);
        engine->render(static_cast<int>(out / 2));
        int rate = 0;
        engine->channelGetAttributes(h, &rate, nullptr, nullptr);
        EXPECT_NEAR(rate, (kPitch + 44100) / 2, 60);
        engine->channelSlideAttributes(h, kPitch, -1, kPanLeaveAlone, 0);

        // A loop wraps at its frames of the track, pass after pass: output frame n plays source
        // frame kStart + (n x 47628 / rate modulo the loop), away from the crossfade of each wrap.
        ASSERT_TRUE(engine->channelSetLoop(h, kStart * 4, (kStart + kLength) * 4));
        engine->channelSetPosition(h, kStart * 4);
        const double ratio = kPitch / out, pass = kLength / ratio;
        const auto looped = engine->render(static_cast<int>(20.5 * pass));
        const int fade = static_cast<int>(128 * out / 44100);
        // The seams do not click: no step beyond the tone's own steepest, and the crossfade's.
        EXPECT_LT(roughness(channelOf(looped, 0, fade), 1), 1.2 * 2 * M_PI * 1080 * 0.5 / out);
        for (int i = fade; i < int(20 * pass); i += 7) {
            const double sincePass = std::fmod(i, pass);
            if (sincePass < fade || sincePass > pass - 64) continue;
            const double source = kStart + std::fmod(i * ratio, double(kLength));
            ASSERT_NEAR(looped[2 * std::size_t(i)],
                        0.5 * std::sin(2 * M_PI * 1000 * source / 44100), 2e-3)
                << "output frame " << i;
        }
        const double off = std::fmod(engine->channelGetPosition(h) / 4 - kStart -
                                         20.5 * pass * ratio + 1000.0 * kLength,
                                     double(kLength));
        EXPECT_LT(std::min(off, kLength - off), 2) << "the position";

        // A band of a semitone, cut at 1080 Hz of the output: the tone drops by all of it.
        engine->channelSetLoop(h, -1, -1);
        engine->fxSetParameters(engine->channelSetFx(h, kFxParamEq), ParamEq{1080, 1, -15});
        engine->render(static_cast<int>(out / 10));
        EXPECT_NEAR(20 * std::log10(peak(channelOf(engine->render(4096), 0)) / 0.5), -15, 0.5);
        engine->streamFree(h);
    }
}

void feedSine(void* phase, float* frames, int count) {
    auto& t = *static_cast<double*>(phase);
    for (int i = 0; i < count; ++i, t += 1)
        frames[2 * i] = frames[2 * i + 1] = static_cast<float>(0.5 * std::sin(0.05 * t));
}

// Nothing the resampler does after construction may allocate, whatever the ratios, block sizes
// and restarts; nor a voice playing into a 96 kHz output, which converts its scope to 44.1 kHz as
// it goes. The memory in use may only shrink meanwhile: a decoder's thread that has just finished
// gives back what it kept for itself as it ends.
TEST(VarispeedTest, NothingAllocatesAfterConstruction) {
    double phase = 0;
    // A 96 kHz file: ratios up to twice its own.
    Varispeed varispeed(2, 96000 / 44100.0, 192000 / 44100.0, feedSine, &phase);
    ASSERT_TRUE(varispeed.ok());
    std::vector<float> out(2 * 256);
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
            varispeed.run();
        }
    }
    EXPECT_LE(mallinfo2().uordblks, inUse);

    TempFolder folder;
    const auto track =
        PcmTrack::open(writeSndfile(folder.path("s.wav"), makeSine(1000, 0.5, 44100, 2.0)),
                       PcmTrack::Kind::Stream, false);
    ASSERT_TRUE(track);
    while (!track->finished())
        track->waitDecoded(track->lengthFrames());
    Voice voice(track, false, 96000);
    Command play;
    play.type = Command::Type::Play;
    play.loop = true;
    voice.apply(play, 0);
    const std::size_t playing = mallinfo2().uordblks;
    for (int block = 0; block < 4000; ++block)
        voice.render(out.data(), 1 + static_cast<int>(random() % 256), 100);
    EXPECT_LE(mallinfo2().uordblks, playing) << "a voice at 96 kHz";
}

} // namespace
} // namespace zen::audio::test
