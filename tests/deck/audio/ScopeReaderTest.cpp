#include "deck/audio/ScopeReader.h"
#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

using namespace zen::audio;
using zen::audio::test::measureHz;
using zen::audio::test::roughness;

namespace {

// A voice's scope: a 1 kHz sine at 0.5, at the voice's rate.
struct SineVoice {
    explicit SineVoice(double rate) { ring.setRate(rate); }
    void play(std::size_t frames) {
        std::vector<float> block(frames);
        for (float& s : block)
            s = static_cast<float>(0.5 *
                                   std::sin(2 * M_PI * 1000 * double(played++) / ring.rate()));
        ring.append(block.data(), block.size());
    }
    ScopeRing ring;
    std::size_t played = 0;
};

std::vector<float> read(ScopeReader& reader, const ScopeRing& ring) {
    std::vector<float> out(2048);
    reader.latest(ring, out.data(), out.size());
    return out;
}

// The frames read are the sine at 44.1 kHz, whole: no frame lost or doubled where one read's
// conversion ends and the next begins (a step beyond the sine's steepest), at its level.
void expectWholeSine(const std::vector<float>& frames) {
    EXPECT_NEAR(measureHz(frames, 44100), 1000.0, 1.0);
    EXPECT_NEAR(*std::max_element(frames.begin(), frames.end()), 0.5, 0.01);
    EXPECT_LT(roughness(frames, 1), 1.02 * 2 * M_PI * 1000 / 44100 * 0.5);
}

} // namespace

// The spectrum reads a voice's frames at 44.1 kHz whatever it renders at: read after read as the
// voice plays on in periods of any size, after a long time unread, and after a change of rate.
TEST(ScopeReader, GivesTheLatestFramesAt44100WholeWhateverTheVoicesRate) {
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> period(32, 1100);
    ScopeReader reader;
    SineVoice voice(48000);
    voice.play(6000);
    for (int i = 0; i < 200; ++i) {
        SCOPED_TRACE("read " + std::to_string(i));
        voice.play(period(random));
        const auto frames = read(reader, voice.ring);
        ASSERT_NO_FATAL_FAILURE(expectWholeSine(frames));
    }
    // Unread for longer than the voice keeps: it starts afresh from the latest frames.
    voice.play(3 * ScopeRing::kSize);
    expectWholeSine(read(reader, voice.ring));

    // The output came back at 44.1 kHz: the frames pass untouched; then at 96 kHz, where the
    // voice renders at 48 kHz again.
    voice.ring.setRate(44100);
    voice.play(5000);
    std::vector<float> direct(2048);
    voice.ring.copyLatest(direct.data(), direct.size());
    EXPECT_EQ(read(reader, voice.ring), direct);
    voice.ring.setRate(48000);
    voice.play(6000);
    expectWholeSine(read(reader, voice.ring));

    // A voice that has just begun: nothing before its first frame.
    ScopeReader first;
    SineVoice begun(48000);
    begun.play(500);
    EXPECT_EQ(read(first, begun.ring).front(), 0.0f);
}
