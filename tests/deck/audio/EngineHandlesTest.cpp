// Start-up, handles and their kinds, effects, modules and the tempo conventions of the engine.
#include "EngineTestSupport.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <thread>

namespace zen::audio::test {
namespace {

TEST(EngineLifecycle, TheTestClockStartsLikeADevice) {
    auto engine = createTestClockEngine();
    EXPECT_EQ(engine->getVersion() & 0xffff, 1u);
    EXPECT_EQ(engine->getVersion() >> 16, 8u);
    EngineInfo info;
    EXPECT_FALSE(engine->getInfo(info)) << "not initialised";
    EXPECT_FALSE(engine->init(10, 44100, 0));
    EXPECT_FALSE(engine->init(-1, 44100, 0));
    EXPECT_FALSE(engine->init(0, 48000, 0));
    ASSERT_TRUE(engine->init(9, 44100, 0));
    EXPECT_FALSE(engine->init(0, 44100, 0)) << "already initialised";
    ASSERT_TRUE(engine->getInfo(info));
    EXPECT_EQ(info.words[0], 56u);
    EXPECT_GE(info.words[10], 9u);
    engine->free();
    EXPECT_FALSE(engine->getInfo(info));
    EXPECT_TRUE(engine->init(0, 44100, 0)) << "free makes way for a new init";
}

TEST(EngineLifecycle, NothingPlaysBeforeStartOrAfterStop) {
    TempFolder folder;
    writeWav(folder.path("s.wav"), makeSine(1000, 0.5, 44100, 1.0));
    auto engine = createTestClockEngine();
    EXPECT_EQ(engine->streamCreateFile(folder.path("s.wav"), 0, 0, kStreamFx), 0u)
        << "a playing channel needs an initialised output";
    ASSERT_TRUE(engine->init(0, 44100, 0));
    const Handle h = engine->streamCreateFile(folder.path("s.wav"), 0, 0, kStreamFx);
    engine->streamPlay(h, 0, 0);
    EXPECT_EQ(peak(engine->render(1000)), 0.0);
    EXPECT_EQ(engine->channelGetPosition(h), 0);
    EXPECT_EQ(engine->getCpu(), 0.0f) << "nothing produced yet";
    engine->start();
    EXPECT_GT(peak(engine->render(1000)), 0.4);
    engine->render(22050);
    EXPECT_GT(engine->getCpu(), 0.0f);
    EXPECT_LT(engine->getCpu(), 100.0f);
    engine->stop();
    EXPECT_EQ(peak(engine->render(1000)), 0.0);
    EXPECT_EQ(engine->channelGetPosition(h), 4 * (1000 + 22050));
    engine->free();
    EXPECT_EQ(engine->channelGetPosition(h), -1) << "free releases every playing channel";
}

class EngineHandles : public ::testing::Test {
protected:
    void SetUp() override { writeWav(wav, makeSine(1000, 0.5, 44100, 1.0)); }
    TempFolder folder;
    std::string wav = folder.path("s.wav");
    std::unique_ptr<TestClockEngine> engine = startedClock();
};

TEST_F(EngineHandles, HandlesAreUniqueAcrossKindsAndNeverReused) {
    const std::string mod = folder.path("m.mod");
    writeBytes(mod, makeModule(2));
    std::vector<Handle> seen;
    for (int round = 0; round < 3; ++round) {
        const Handle s = engine->streamCreateFile(wav, 0, 0, kStreamFx);
        const Handle d = engine->streamCreateFile(wav, 0, 0, kDecodeOnly);
        const Handle m = engine->musicLoad(mod, 0, 0, kMusicFx | kMusicLoop | kMusicRamp);
        const Handle fx = engine->channelSetFx(s, kFxParamEq);
        for (Handle h : {s, d, m, fx}) {
            ASSERT_NE(h, 0u);
            EXPECT_EQ(std::count(seen.begin(), seen.end(), h), 0) << h;
            seen.push_back(h);
        }
        engine->streamFree(s);
        engine->streamFree(d);
        engine->musicFree(m);
    }
}

TEST_F(EngineHandles, FreeingTheWrongKindOrNothingDoesNothing) {
    const std::string mod = folder.path("m.mod");
    writeBytes(mod, makeModule(2));
    const Handle s = engine->streamCreateFile(wav, 0, 0, kStreamFx);
    const Handle m = engine->musicLoad(mod, 0, 0, kMusicFx);
    engine->musicFree(s);
    engine->streamFree(m);
    engine->streamFree(0);
    engine->musicFree(0);
    engine->bpmFree(0);
    engine->tempoFree(s);
    EXPECT_EQ(engine->streamGetLength(s), 44100 * 4);
    EXPECT_GT(engine->streamGetLength(m), 0);
    engine->streamFree(s);
    engine->musicFree(m);
    EXPECT_EQ(engine->streamGetLength(s), -1);
    EXPECT_EQ(engine->streamGetLength(m), -1);
    EXPECT_FALSE(engine->streamPlay(s, 0, 0));
    EXPECT_FALSE(engine->channelStop(m));
    EXPECT_FALSE(engine->channelSetPosition(s, 0));
    EXPECT_FALSE(engine->channelGetAttributes(s, nullptr, nullptr, nullptr));
    EXPECT_FLOAT_EQ(engine->channelBytes2Seconds(s, 4), -1.0f);
}

TEST_F(EngineHandles, FreeingAPlayingChannelFadesItOutAndReleasesIt) {
    const Handle s = engine->streamCreateFile(wav, 0, 0, kStreamFx);
    engine->streamPlay(s, 0, 0);
    EXPECT_GT(peak(engine->render(2000)), 0.4);
    engine->streamFree(s);
    const auto left = channelOf(engine->render(2000), 0);
    EXPECT_EQ(peak(std::vector<float>(left.begin() + 128, left.end())), 0.0);
    double worst = 0;
    for (std::size_t i = 1; i < left.size(); ++i)
        worst = std::max(worst, double(std::abs(left[i] - left[i - 1])));
    EXPECT_LT(worst, 0.1) << "no click: a 1 kHz sine at 0.5 moves 0.071 a sample";

    // Loads over a playing track, far more than the engine's 64 voices: each old voice is
    // handed back once faded.
    for (int load = 0; load < 100; ++load) {
        const Handle h = engine->streamCreateFile(wav, 0, 0, kStreamFx);
        ASSERT_NE(h, 0u) << "load " << load;
        engine->streamPlay(h, 0, 0);
        engine->render(300);
        engine->streamFree(h);
    }
}

TEST_F(EngineHandles, WhatIsNotARegularAudioFileIsRefused) {
    std::filesystem::create_directory(folder.path("dir.mp3"));
    ASSERT_EQ(mkfifo(folder.path("pipe.wav").c_str(), 0600), 0);
    std::filesystem::create_symlink(folder.path("pipe.wav"), folder.path("link.wav"));
    std::vector<unsigned char> noise(50000);
    std::mt19937 random(7);
    for (auto& b : noise)
        b = static_cast<unsigned char>(random());
    writeBytes(folder.path("noise.mp3"), noise);
    writeBytes(folder.path("empty.wav"), {});
    for (const char* name :
         {"dir.mp3", "pipe.wav", "link.wav", "noise.mp3", "empty.wav", "none.wav"}) {
        EXPECT_EQ(engine->streamCreateFile(folder.path(name), 0, 0, kStreamFx), 0u) << name;
        EXPECT_EQ(engine->musicLoad(folder.path(name), 0, 0, kMusicFx), 0u) << name;
    }
    EXPECT_EQ(engine->streamCreateFile(wav, 44, 0, kStreamFx), 0u) << "parts of files are refused";
}

TEST_F(EngineHandles, ModulesRenderAndReportALength) {
    const std::string mod = folder.path("m.mod");
    writeBytes(mod, makeModule(2));
    EXPECT_EQ(engine->streamCreateFile(mod, 0, 0, kStreamFx), 0u) << "the deck falls back";
    const Handle m = engine->musicLoad(mod, 0, 0, kMusicFx | kMusicLoop | kMusicRamp);
    ASSERT_NE(m, 0u);
    const std::int64_t length = engine->streamGetLength(m);
    EXPECT_GT(length, 44100 * 4);
    EXPECT_EQ(length % 4, 0);
    int rate = 0;
    engine->channelGetAttributes(m, &rate, nullptr, nullptr);
    EXPECT_EQ(rate, 44100);
    EXPECT_NE(engine->channelSetFx(m, kFxParamEq), 0u);
    engine->streamPlay(m, 0, 0);
    EXPECT_GT(peak(engine->render(44100)), 0.01);
    // The module volume scales modules.
    engine->setGlobalVolumes(0, 100, 100);
    EXPECT_EQ(peak(channelOf(engine->render(4410), 0, 256)), 0.0);
}

TEST_F(EngineHandles, EffectsNeedAnEffectChannelAndKeepTheirParametersInRange) {
    const Handle plain = engine->streamCreateFile(wav, 0, 0, 0);
    const Handle decode = engine->streamCreateFile(wav, 0, 0, kDecodeOnly);
    const Handle s = engine->streamCreateFile(wav, 0, 0, kStreamFx | kStreamExactSeek);
    EXPECT_EQ(engine->channelSetFx(plain, kFxParamEq), 0u);
    EXPECT_EQ(engine->channelSetFx(decode, kFxParamEq), 0u);
    EXPECT_EQ(engine->channelSetFx(s, 3), 0u);
    const Handle fx = engine->channelSetFx(s, kFxParamEq);
    ASSERT_NE(fx, 0u);
    ASSERT_TRUE(engine->fxSetParameters(fx, ParamEq{10, 100, 40}));
    ParamEq p;
    ASSERT_TRUE(engine->fxGetParameters(fx, p));
    EXPECT_FLOAT_EQ(p.centerHz, 80);
    EXPECT_FLOAT_EQ(p.bandwidthSemitones, 36);
    EXPECT_FLOAT_EQ(p.gainDb, 15);
    engine->fxSetParameters(fx, ParamEq{30000, 0.1f, -40});
    engine->fxGetParameters(fx, p);
    EXPECT_FLOAT_EQ(p.centerHz, 14700);
    EXPECT_FLOAT_EQ(p.bandwidthSemitones, 1);
    EXPECT_FLOAT_EQ(p.gainDb, -15);
    EXPECT_FALSE(engine->fxGetParameters(s, p)) << "a channel is not an effect";
    engine->streamFree(s);
    EXPECT_FALSE(engine->fxSetParameters(fx, p)) << "effects go with their channel";
}

TEST_F(EngineHandles, MonoFlagAndMonoFilesPlayCentred) {
    const std::string stereo = folder.path("lr.wav");
    Pcm pcm = makeSine(1000, 0.5, 44100, 1.0);
    for (std::size_t i = 1; i < pcm.samples.size(); i += 2)
        pcm.samples[i] = 0; // right silent
    writeWav(stereo, pcm);
    const Handle h = engine->streamCreateFile(stereo, 0, 0, kStreamFx | kStreamMono);
    EXPECT_EQ(engine->streamGetLength(h), 44100 * 2) << "2 bytes a frame";
    engine->streamPlay(h, 0, 0);
    const auto out = engine->render(4410);
    EXPECT_NEAR(peak(channelOf(out, 0, 512)), 0.25, 2e-3);
    EXPECT_NEAR(peak(channelOf(out, 1, 512)), 0.25, 2e-3);
}

// Kicks and hats at a tempo, so that detection has something to find.
Pcm makeBeat(double bpm, double seconds) {
    Pcm pcm{1, 44100, {}};
    const auto frames = static_cast<std::int64_t>(seconds * 44100);
    pcm.samples.assign(static_cast<std::size_t>(frames), 0);
    const double beat = 60.0 / bpm * 44100;
    for (int b = 0; b * beat < frames; ++b) {
        for (int half = 0; half < 2; ++half) {
            const auto start = static_cast<std::int64_t>((b + half * 0.5) * beat);
            for (std::int64_t i = 0; i < 4000 && start + i < frames; ++i) {
                const double t = i / 44100.0;
                const double v = half == 0 ? std::sin(2 * M_PI * 60 * t) * std::exp(-t * 30)
                                           : std::sin(2 * M_PI * 7000 * t) * std::exp(-t * 200);
                pcm.samples[static_cast<std::size_t>(start + i)] +=
                    static_cast<std::int16_t>(12000 * v);
            }
        }
    }
    return pcm;
}

TEST_F(EngineHandles, TempoDetectionFollowsTheDecksConventions) {
    const std::string beat = folder.path("beat.wav");
    writeWav(beat, makeBeat(126.5, 20));
    const Handle d = engine->streamCreateFile(beat, 0, 0, kDecodeOnly);
    ASSERT_NE(d, 0u);
    const Handle playing = engine->streamCreateFile(beat, 0, 0, kStreamFx);
    EXPECT_EQ(engine->bpmDecodeGet(playing, 0, 90, 0, 3, nullptr), 0.0f) << "decode channels only";
    EXPECT_EQ(engine->bpmPercents2Bpm(d, -1), 0.0f) << "no result yet";

    std::vector<float> progress;
    const auto caller = std::this_thread::get_id();
    const float bpm = engine->bpmDecodeGet(d, 0, 90, 0, 3, [&](Handle h, float percent) {
        EXPECT_EQ(h, d);
        EXPECT_EQ(std::this_thread::get_id(), caller);
        progress.push_back(percent);
    });
    EXPECT_NEAR(bpm, 126.5, 0.5);
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_GE(progress.front(), 0.0f);
    EXPECT_FLOAT_EQ(progress.back(), 100.0f);

    // The deck shows -100 x Percents2BPM(detection, TempoGetApproxPercents(0)).
    EXPECT_EQ(engine->tempoGetApproxPercents(0), -1.0f);
    EXPECT_FLOAT_EQ(-100 * engine->bpmPercents2Bpm(d, engine->tempoGetApproxPercents(0)), bpm);
    engine->bpmFree(d);
    EXPECT_EQ(engine->streamGetLength(d), -1) << "the decode channel goes with it";
    EXPECT_EQ(engine->bpmPercents2Bpm(d, -1), 0.0f);
    EXPECT_EQ(engine->bpmDecodeGet(d, 0, 90, 0, 3, nullptr), 0.0f);
}

TEST_F(EngineHandles, SilenceHasNoTempo) {
    const std::string quiet = folder.path("quiet.wav");
    writeWav(quiet, makeSine(1000, 0.0, 44100, 5.0, 1));
    const Handle d = engine->streamCreateFile(quiet, 0, 0, kDecodeOnly);
    EXPECT_EQ(engine->bpmDecodeGet(d, 0, 90, 0, 3, nullptr), 0.0f);
    EXPECT_EQ(engine->bpmPercents2Bpm(d, -1), 0.0f);
}

} // namespace
} // namespace zen::audio::test
