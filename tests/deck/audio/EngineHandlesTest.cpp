// Start-up, handles and their kinds, effects and modules of the engine.
#include "EngineTestSupport.h"

#include <cmath>
#include <filesystem>
#include <tuple>

namespace zen::audio::test {
namespace {

using EngineLifecycle = EngineTest;

TEST_F(EngineLifecycle, TheTestClockStartsLikeADeviceAndPlaysOnlyWhenStarted) {
    writeWav(folder.path("s.wav"), makeSine(1000, 0.5, 44100, 1.0));
    engine->free();
    EXPECT_EQ(engine->getVersion(), 0x80001u);
    EngineInfo info;
    EXPECT_FALSE(engine->getInfo(info)) << "not initialised";
    EXPECT_EQ(engine->streamCreateFile(folder.path("s.wav"), 0, 0, kStreamFx), 0u)
        << "a playing channel needs an initialised output";
    for (auto [device, rate] : {std::pair{10, 44100}, {-1, 44100}, {0, 48000}})
        EXPECT_FALSE(engine->init(device, rate, 0)) << device << " at " << rate << " Hz";
    ASSERT_TRUE(engine->init(9, 44100, 0));
    EXPECT_FALSE(engine->init(0, 44100, 0)) << "already initialised";
    ASSERT_TRUE(engine->getInfo(info));

    const Handle h = engine->streamCreateFile(folder.path("s.wav"), 0, 0, kStreamFx);
    engine->streamPlay(h, 0, 0);
    EXPECT_EQ(peak(engine->render(1000)), 0.0);
    engine->start();
    EXPECT_GT(peak(engine->render(1000)), 0.4);
    engine->render(22050);
    EXPECT_GT(engine->getCpu(), 0.0f) << "the render's own load";
    engine->stop();
    EXPECT_EQ(peak(engine->render(1000)), 0.0);
    EXPECT_EQ(engine->channelGetPosition(h), 4 * (1000 + 22050));
    engine->free();
    EXPECT_FALSE(engine->getInfo(info));
    EXPECT_EQ(engine->channelGetPosition(h), -1) << "free releases every playing channel";
    EXPECT_TRUE(engine->init(0, 44100, 0)) << "free makes way for a new init";
}

using EngineHandles = EngineTest;

TEST_F(EngineHandles, EachHandleIsUniqueServesOnlyItsKindAndModulesPlayAsMusic) {
    const std::string wav = writeSndfile(folder.path("s.wav"), makeSine(1000, 0.5, 44100, 1.0));
    const std::string mod = writeBytes(folder.path("m.mod"), makeModule(2));
    // Far more rounds than the engine's 64 voices: each voice played and freed is handed back once
    // faded, and its handle is never handed out again.
    std::vector<Handle> seen;
    for (int round = 0; round < 70; ++round) {
        const Handle s = engine->streamCreateFile(wav, 0, 0, kStreamFx);
        const Handle d = engine->streamCreateFile(wav, 0, 0, kDecodeOnly);
        const Handle m = engine->musicLoad(mod, 0, 0, kMusicFx | kMusicLoop | kMusicRamp);
        for (Handle h : {s, d, m, engine->channelSetFx(s, kFxParamEq)}) {
            ASSERT_NE(h, 0u) << "round " << round;
            EXPECT_EQ(std::count(seen.begin(), seen.end(), h), 0) << h << " reused";
            seen.push_back(h);
        }
        engine->streamPlay(s, 0, 0);
        engine->render(300);
        engine->musicFree(s);
        engine->streamFree(m);
        engine->tempoFree(s);
        EXPECT_FALSE(engine->channelSetLoop(d, 0, 4000)) << "a decode channel loops";
        EXPECT_EQ(engine->streamGetLength(s), 44100 * 4) << "freed as the wrong kind";
        EXPECT_GT(engine->streamGetLength(m), 44100 * 4) << "freed as the wrong kind";
        EXPECT_EQ(engine->streamGetLength(m) % 4, 0);
        engine->streamFree(s);
        engine->streamFree(d);
        engine->musicFree(m);
        EXPECT_EQ(engine->streamGetLength(m), -1);
        EXPECT_FALSE(engine->streamPlay(s, 0, 0));
        EXPECT_FALSE(engine->channelSetLoop(s, 0, 4000));
        EXPECT_FALSE(engine->channelGetAttributes(s, nullptr, nullptr, nullptr));
        EXPECT_FLOAT_EQ(engine->channelBytes2Seconds(s, 4), -1.0f);
    }
    // A module plays at the output rate, takes effects, and the module volume scales it.
    const Handle m = engine->musicLoad(mod, 0, 0, kMusicFx);
    int rate = 0;
    engine->channelGetAttributes(m, &rate, nullptr, nullptr);
    EXPECT_EQ(rate, 44100);
    EXPECT_NE(engine->channelSetFx(m, kFxParamEq), 0u);
    engine->streamPlay(m, 0, 0);
    EXPECT_GT(peak(engine->render(44100)), 0.01);
    engine->setGlobalVolumes(0, 100, 100);
    EXPECT_EQ(peak(channelOf(engine->render(4410), 0, 256)), 0.0);
    // Each loader refuses a folder and the other kind's files, and parts of files are refused.
    std::filesystem::create_directory(folder.path("dir.mp3"));
    for (const auto& path : {folder.path("dir.mp3"), wav}) {
        EXPECT_EQ(engine->musicLoad(path, 0, 0, kMusicFx), 0u) << path;
        EXPECT_EQ(engine->streamCreateFile(path == wav ? mod : path, 0, 0, kStreamFx), 0u) << path;
    }
    EXPECT_EQ(engine->streamCreateFile(wav, 44, 0, kStreamFx), 0u);
    // An effect needs a playing channel made for effects, and keeps its parameters in range.
    EXPECT_EQ(engine->channelSetFx(engine->streamCreateFile(wav, 0, 0, 0), kFxParamEq), 0u);
    EXPECT_EQ(engine->channelSetFx(engine->streamCreateFile(wav, 0, 0, kDecodeOnly), kFxParamEq),
              0u);
    const Handle s = engine->streamCreateFile(wav, 0, 0, kStreamFx | kStreamExactSeek);
    EXPECT_EQ(engine->channelSetFx(s, 3), 0u);
    const Handle fx = engine->channelSetFx(s, kFxParamEq);
    const std::pair<ParamEq, ParamEq> cases[] = {{{10, 100, 40}, {80, 36, 15}},
                                                 {{30000, 0.1f, -40}, {14700, 1, -15}}};
    for (const auto& [asked, kept] : cases) {
        ASSERT_TRUE(engine->fxSetParameters(fx, asked));
        ParamEq p;
        ASSERT_TRUE(engine->fxGetParameters(fx, p));
        EXPECT_EQ(std::tuple(p.centerHz, p.bandwidthSemitones, p.gainDb),
                  std::tuple(kept.centerHz, kept.bandwidthSemitones, kept.gainDb));
    }
    ParamEq p;
    EXPECT_FALSE(engine->fxGetParameters(s, p)) << "a channel is not an effect";
    engine->streamFree(s);
    EXPECT_FALSE(engine->fxSetParameters(fx, p)) << "effects go with their channel";
}

} // namespace
} // namespace zen::audio::test
