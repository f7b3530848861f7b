// The engine on a real sound server (the JACK dummy server of scripts/services): device
// numbering, a channel that plays in real time, and a loop on it.
#include "EngineTestSupport.h"
#include "common/sound/Outputs.h"

#include <chrono>
#include <thread>

namespace zen::audio::test {
namespace {

using namespace std::chrono_literals;

TEST(OutputDevice, AChannelPlaysInRealTimeThroughTheDefaultOutputsNumbering) {
    const auto devices = zen::sound::descriptions(zen::sound::listOutputs());
    if (devices.empty()) GTEST_SKIP() << "no sound server: scripts/services start gives one";
    EXPECT_EQ(devices[0], "Default output");
    EXPECT_EQ(zen::sound::descriptions(zen::sound::listOutputs()), devices)
        << "the same numbers every time";
    int jack = 0;
    for (std::size_t i = 1; i < devices.size(); ++i)
        if (devices[i] == "system") jack = static_cast<int>(i);
    auto engine = createAudioEngine();
    EXPECT_FALSE(engine->init(static_cast<int>(devices.size()), 44100, 0));
    EXPECT_FALSE(engine->init(-1, 44100, 0));
    ASSERT_TRUE(engine->init(jack, 44100, 0));
    ASSERT_TRUE(engine->start());
    TempFolder folder;
    writeWav(folder.path("s.wav"), makeSine(1000, 1.0, 44100, 5.0));
    const Handle h = engine->streamCreateFile(folder.path("s.wav"), 0, 0, kStreamFx);
    ASSERT_TRUE(engine->streamPreBuf(h));
    ASSERT_TRUE(engine->streamPlay(h, 0, 0));
    EXPECT_EQ(engine->channelGetPosition(h), 0);
    std::this_thread::sleep_for(400ms);
    // Loose bounds: a loaded machine may oversleep, never play faster than real time.
    EXPECT_GT(engine->channelGetPosition(h), 0.1 * 4 * 44100);
    EXPECT_LT(engine->channelGetPosition(h), 3.0 * 4 * 44100);
    EXPECT_EQ(engine->channelGetLevel(h), 128 | (128 << 16));
    // Measured by the callback itself: some work, far below a core.
    EXPECT_GT(engine->getCpu(), 0.0f);
    EXPECT_LT(engine->getCpu(), 50.0f);

    // A tenth of a second from 1 s on: what the speaker plays is worked out from the blocks
    // rendered ahead of it, and must follow them round the seam without ever reading the end.
    constexpr std::int32_t kStart = 44100 * 4, kEnd = kStart + 4410 * 4;
    ASSERT_TRUE(engine->channelSetLoop(h, kStart, kEnd));
    ASSERT_TRUE(engine->channelSetPosition(h, kStart));
    EXPECT_EQ(engine->channelGetPosition(h), kStart) << "a seek reads its target at once";
    bool nearStart = false, nearEnd = false;
    for (int ms = 0; ms < 500; ++ms, std::this_thread::sleep_for(1ms)) {
        const std::int32_t p = engine->channelGetPosition(h);
        ASSERT_GE(p, kStart);
        ASSERT_LT(p, kEnd);
        nearStart = nearStart || (ms > 150 && p < kStart + 1000 * 4);
        nearEnd = nearEnd || (ms > 150 && p >= kEnd - 1000 * 4);
    }
    EXPECT_TRUE(nearStart && nearEnd) << "went round the loop";

    // The stop keeps a position where it was heard.
    ASSERT_TRUE(engine->channelStop(h));
    std::this_thread::sleep_for(50ms);
    const std::int32_t kept = engine->channelGetPosition(h);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(engine->channelGetPosition(h), kept);
    EXPECT_EQ(engine->channelGetLevel(h), -1);
    EXPECT_TRUE(engine->stop());
    engine->free();
}

} // namespace
} // namespace zen::audio::test
