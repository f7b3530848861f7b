// The engine on a real sound server (the JACK dummy server of scripts/services): device
// numbering, opening, a channel that plays in real time, and a loop on it.
#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace zen::audio::test {
namespace {

int jackOrDefault(const std::vector<std::string>& devices) {
    for (std::size_t i = 1; i < devices.size(); ++i)
        if (devices[i].find("(JACK") != std::string::npos) return static_cast<int>(i);
    return 0;
}

TEST(OutputDevice, DevicesAreNumberedFromTheDefaultOutput) {
    const auto devices = listOutputDevices();
    if (devices.empty()) GTEST_SKIP() << "no sound server: scripts/services start gives one";
    EXPECT_EQ(devices[0], "Default output");
    for (std::size_t i = 1; i < devices.size(); ++i) {
        EXPECT_NE(devices[i].find(" ("), std::string::npos) << devices[i];
        EXPECT_EQ(devices[i].back(), ')') << devices[i];
    }
    EXPECT_EQ(listOutputDevices(), devices) << "the same numbers every time";
    auto engine = createAudioEngine();
    EXPECT_FALSE(engine->init(static_cast<int>(devices.size()), 44100, 0));
    EXPECT_FALSE(engine->init(-1, 44100, 0));
}

TEST(OutputDevice, AChannelPlaysInRealTime) {
    const auto devices = listOutputDevices();
    if (devices.empty()) GTEST_SKIP() << "no sound server: scripts/services start gives one";
    TempFolder folder;
    writeWav(folder.path("s.wav"), makeSine(1000, 1.0, 44100, 5.0));
    auto engine = createAudioEngine();
    ASSERT_TRUE(engine->init(jackOrDefault(devices), 44100, 0));
    ASSERT_TRUE(engine->start());
    EngineInfo info;
    ASSERT_TRUE(engine->getInfo(info));
    EXPECT_GE(info.words[10], 9u);

    const Handle h = engine->streamCreateFile(folder.path("s.wav"), 0, 0, kStreamFx);
    ASSERT_NE(h, 0u);
    ASSERT_TRUE(engine->streamPreBuf(h));
    ASSERT_TRUE(engine->streamPlay(h, 0, 0));
    EXPECT_EQ(engine->channelGetPosition(h), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    const double seconds = engine->channelGetPosition(h) / (4 * 44100.0);
    // Loose bounds: a loaded machine may oversleep, never play faster than real time.
    EXPECT_GT(seconds, 0.1);
    EXPECT_LT(seconds, 3.0);
    EXPECT_EQ(engine->channelGetLevel(h), 128 | (128 << 16));
    // Measured by the callback itself: some work, far below a core.
    EXPECT_GT(engine->getCpu(), 0.0f);
    EXPECT_LT(engine->getCpu(), 50.0f);

    // A seek reads its target at once, and the stop keeps a position near where it was heard.
    ASSERT_TRUE(engine->channelSetPosition(h, 44100 * 4 * 3));
    EXPECT_EQ(engine->channelGetPosition(h), 44100 * 4 * 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(engine->channelStop(h));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::int32_t kept = engine->channelGetPosition(h);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(engine->channelGetPosition(h), kept);
    EXPECT_GT(kept, 44100 * 4 * 3);
    EXPECT_EQ(engine->channelGetLevel(h), -1);

    EXPECT_TRUE(engine->stop());
    engine->streamFree(h);
    engine->free();
}

TEST(OutputDevice, APlayingLoopReadsInsideItsPointsAllRound) {
    const auto devices = listOutputDevices();
    if (devices.empty()) GTEST_SKIP() << "no sound server: scripts/services start gives one";
    TempFolder folder;
    writeWav(folder.path("s.wav"), makeSine(1000, 0.5, 44100, 5.0));
    auto engine = createAudioEngine();
    ASSERT_TRUE(engine->init(jackOrDefault(devices), 44100, 0));
    ASSERT_TRUE(engine->start());
    const Handle h = engine->streamCreateFile(folder.path("s.wav"), 0, 0, kStreamFx);
    ASSERT_NE(h, 0u);
    // A tenth of a second from 1 s on: what the speaker plays is worked out from the blocks
    // rendered ahead of it, and must follow them round the seam without ever reading the end.
    constexpr std::int32_t kStart = 44100 * 4, kEnd = kStart + 4410 * 4;
    ASSERT_TRUE(engine->channelSetLoop(h, kStart, kEnd));
    engine->channelSetPosition(h, kStart);
    engine->streamPlay(h, 0, 0);
    bool nearStart = false, nearEnd = false;
    for (int ms = 0; ms < 500; ++ms) {
        const std::int32_t p = engine->channelGetPosition(h);
        ASSERT_GE(p, kStart);
        ASSERT_LT(p, kEnd);
        nearStart = nearStart || (ms > 150 && p < kStart + 1000 * 4);
        nearEnd = nearEnd || (ms > 150 && p >= kEnd - 1000 * 4);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(nearStart && nearEnd) << "went round the loop";
    engine->streamFree(h);
    engine->free();
}

TEST(OutputDevice, TheDecksBusiestControlTrafficWhilePlaying) {
    const auto devices = listOutputDevices();
    if (devices.empty()) GTEST_SKIP() << "no sound server: scripts/services start gives one";
    TempFolder folder;
    writeWav(folder.path("s.wav"), makeSine(1000, 0.5, 44100, 5.0));
    auto engine = createAudioEngine();
    ASSERT_TRUE(engine->init(jackOrDefault(devices), 44100, 0));
    ASSERT_TRUE(engine->start());
    const Handle h = engine->streamCreateFile(folder.path("s.wav"), 0, 0, kStreamFx);
    Handle fx[4];
    for (Handle& f : fx)
        f = engine->channelSetFx(h, kFxParamEq);
    engine->streamPlay(h, 0, 0);
    // What a deck does at worst: a loop watch and a stutter seeking, a fader being dragged,
    // the meters and the spectrum being read, every millisecond for half a second.
    float bins[1025];
    for (int ms = 0; ms < 500; ++ms) {
        if (ms % 5 == 0) engine->channelSetPosition(h, 44100 * 4);
        engine->channelSlideAttributes(h, 44100 + ms * 10, 80, (ms % 200) - 100, ms % 3 ? 0 : 20);
        engine->fxSetParameters(fx[ms % 4], ParamEq{80.0f * (1 + ms % 4), 36, float(ms % 30 - 15)});
        engine->channelGetPosition(h);
        engine->channelGetLevel(h);
        engine->channelGetData(h, bins, kDataFft2048);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const std::int32_t before = engine->channelGetPosition(h);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_GT(engine->channelGetPosition(h), before) << "still playing";
    engine->streamFree(h);
    engine->free();
}

} // namespace
} // namespace zen::audio::test
