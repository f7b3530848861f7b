#include "deck/audio/BpmAnalysis.h"
#include "deck/audio/PcmTrack.h"
#include "deck/audio/TempoDetector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <numbers>
#include <random>
#include <thread>

using namespace zen::audio;

namespace {

constexpr int kRate = 44100;
constexpr float kMin = 45, kMax = 230;
constexpr std::uint32_t kDeckFlags = 3;

// One bar per instrument, stepsPerBeat steps to the beat: 'x' hit, '.' rest.
struct Pattern {
    const char* kick;
    const char* snare;
    const char* hat;
    int stepsPerBeat = 4;
    const char* percussion = ""; // a cycle of its own, running across the bar lines
};
constexpr Pattern kFourOnTheFloor{"x...x...x...x...", "....x.......x...", "..x...x...x...x."};
constexpr Pattern kBackbeat{"x.....x...x.....", "....x.......x...", "x.x.x.x.x.x.x.x."};
constexpr Pattern kSixteenths{"x......x..x.....", "....x.......x...", "xxxxxxxxxxxxxxxx"};

struct Piece {
    double bpm = 120;
    double seconds = 30;
    Pattern pattern = kFourOnTheFloor;
    double swing = 0.5;      // where the off sixteenth falls in its eighth: 0.5 straight
    double introSeconds = 0; // a drone and noise before the drums
    float noise = 0.01f;     // level of the white noise over everything
    int rate = kRate;
    double offGridMs = 0; // every hit a third of this to all of it early or late
    double laterBpm = 0;  // the tempo from half the piece on, when it changes there
};

// A drum loop with a drone under it and a little noise over it, mono, at the piece's tempo.
std::vector<float> render(const Piece& p) {
    std::vector<float> out(static_cast<std::size_t>(p.seconds * p.rate));
    std::mt19937 rng(42);
    std::uniform_real_distribution<float> noise(-1, 1);
    auto hit = [&](double t, double hz, double decay, float noiseMix, float gain) {
        const auto start = static_cast<std::size_t>(t * p.rate);
        const auto length = static_cast<std::size_t>(decay * 6 * p.rate);
        for (std::size_t i = 0; i < length && start + i < out.size(); ++i) {
            const double s = static_cast<double>(i) / p.rate;
            const double tone = std::sin(2 * std::numbers::pi * hz * s);
            out[start + i] += gain * static_cast<float>(std::exp(-s / decay)) *
                              ((1 - noiseMix) * static_cast<float>(tone) + noiseMix * noise(rng));
        }
    };
    const Pattern& pattern = p.pattern;
    const double step = 60.0 / p.bpm / pattern.stepsPerBeat;
    const double change = p.seconds / 2;
    const auto changeStep = static_cast<int>(std::ceil((change - p.introSeconds) / step));
    const int barSteps = static_cast<int>(std::strlen(pattern.kick));
    const int cycle = static_cast<int>(std::strlen(pattern.percussion));
    std::uniform_real_distribution<double> offGrid(p.offGridMs / 3000, p.offGridMs / 1000);
    for (int i = 0;; ++i) {
        double t = p.introSeconds + i * step;
        if (p.laterBpm > 0 && i >= changeStep)
            t = p.introSeconds + changeStep * step +
                (i - changeStep) * 60.0 / p.laterBpm / pattern.stepsPerBeat;
        if (i % 2 == 1) t += (2 * p.swing - 1) * step;
        if (t >= p.seconds) break;
        if (p.offGridMs > 0) t = std::max(0.0, t + (rng() % 2 ? 1 : -1) * offGrid(rng));
        const int s = i % barSteps;
        if (pattern.kick[s] == 'x') hit(t, 55, 0.12, 0.05f, 0.9f);
        if (pattern.snare[s] == 'x') hit(t, 190, 0.06, 0.7f, 0.6f);
        if (pattern.hat[s] == 'x') hit(t, 8000, 0.015, 1.0f, 0.25f);
        if (cycle > 0 && pattern.percussion[i % cycle] == 'x') hit(t, 560, 0.05, 0.3f, 0.9f);
    }
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] += 0.1f * static_cast<float>(std::sin(2 * std::numbers::pi * 110 * i / p.rate)) +
                  p.noise * noise(rng);
    return out;
}

// A track whose PCM a background thread "decodes" in steps, as the engine's worker does.
class FakeTrack : public PcmTrack {
public:
    FakeTrack(const std::vector<float>& mono, int rate, int channels, std::int64_t decodeStops = -1)
        : rate_(rate), channels_(channels), length_(static_cast<std::int64_t>(mono.size())),
          stop_(decodeStops < 0 ? length_ : decodeStops) {
        for (float v : mono)
            for (int c = 0; c < channels; ++c)
                pcm_.push_back(static_cast<std::int16_t>(std::clamp(v, -1.0f, 1.0f) * 32767));
        worker_ = std::thread([this] {
            while (decoded_ < stop_) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                std::lock_guard lock(mutex_);
                decoded_ = std::min(stop_, decoded_ + rate_ / 4);
                ready_.notify_all();
            }
            std::lock_guard lock(mutex_);
            done_ = true;
            ready_.notify_all();
        });
    }
    ~FakeTrack() override { worker_.join(); }

    int channels() const override { return channels_; }
    int sampleRate() const override { return rate_; }
    std::int64_t lengthFrames() const override { return length_; }
    std::int64_t decodedFrames() const override {
        std::lock_guard lock(mutex_);
        return decoded_;
    }
    bool finished() const override {
        std::lock_guard lock(mutex_);
        return done_;
    }
    const std::int16_t* data() const override { return pcm_.data(); }
    std::int64_t waitDecoded(std::int64_t frames) const override {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return decoded_ >= frames || done_; });
        return decoded_;
    }

private:
    int rate_, channels_;
    std::int64_t length_, stop_;
    std::vector<std::int16_t> pcm_;
    mutable std::mutex mutex_;
    mutable std::condition_variable ready_;
    std::int64_t decoded_ = 0;
    bool done_ = false;
    std::thread worker_;
};

float detectAsDeck(const Piece& piece, int channels = 2) {
    FakeTrack track(render(piece), piece.rate, channels);
    return analyseBpm(track, 0, 90, kMin, kMax, kDeckFlags, {});
}

} // namespace

TEST(TempoDetection, FindsTheTempoOfCommonPatternsToATenthOfABeatPerMinute) {
    EXPECT_NEAR(detectAsDeck({.bpm = 127.37, .pattern = kFourOnTheFloor}), 127.37, 0.1);
    EXPECT_NEAR(detectAsDeck({.bpm = 174.2, .pattern = kBackbeat}), 174.2, 0.1);
    EXPECT_NEAR(detectAsDeck({.bpm = 104.61, .pattern = kSixteenths}), 104.61, 0.1);
}

TEST(TempoDetection, DoublesATempoBelowNinetyAsTheDeckAsks) {
    EXPECT_NEAR(detectAsDeck({.bpm = 84.63, .pattern = kBackbeat}), 169.26, 0.2);
}

TEST(TempoDetection, IsNotMisledBySwingAnIntroWithoutDrumsOrLoudNoise) {
    EXPECT_NEAR(detectAsDeck({.bpm = 95.5, .pattern = kSixteenths, .swing = 0.62}), 95.5, 0.1);
    EXPECT_NEAR(detectAsDeck({.bpm = 133.71, .seconds = 45, .introSeconds = 20}), 133.71, 0.1);
    EXPECT_NEAR(detectAsDeck({.bpm = 111.1, .pattern = kBackbeat, .noise = 0.3f}), 111.1, 0.1);
}

TEST(TempoDetection, WorksAtOtherSampleRatesAndOnMonoTracks) {
    EXPECT_NEAR(detectAsDeck({.bpm = 122.2, .rate = 48000}), 122.2, 0.1);
    EXPECT_NEAR(detectAsDeck({.bpm = 122.2, .rate = 22050}, 1), 122.2, 0.1);
}

TEST(TempoDetection, TakesTheDottedQuarterAsTheBeatOfCompoundMeters) {
    // 6/8 at 92.5 dotted quarters: kick on the first, snare on the second, hats on the eighths.
    const Pattern sixEight{"x...........", "......x.....", "x.x.x.x.x.x.", 6};
    EXPECT_NEAR(detectAsDeck({.bpm = 92.5, .pattern = sixEight}), 92.5, 0.1);
    // 12/8 at 61.3, doubled as the deck asks.
    const Pattern twelveEight{"x...........x.....x.....", "......x...........x.....",
                              "x.x.x.x.x.x.x.x.x.x.x.x.", 6};
    EXPECT_NEAR(detectAsDeck({.bpm = 61.3, .pattern = twelveEight}), 122.6, 0.2);
    // A 3/4 waltz keeps the quarter note, fast (whose bar has a 12/8 beat's three parts) or slow.
    const Pattern waltz{"x...........", "....x...x...", "x.x.x.x.x.x."};
    EXPECT_NEAR(detectAsDeck({.bpm = 168, .pattern = waltz}), 168, 0.1);
    EXPECT_NEAR(detectAsDeck({.bpm = 96, .pattern = waltz}), 96, 0.1);
}

TEST(TempoDetection, TakesTheQuarterNoteAsTheBeatOfATripletFeel) {
    // 68.25 BPM with the hats on the first and last triplet of each beat, doubled as the deck
    // asks.
    const Pattern tripletHats{"x.........x.............", "......x...........x.....",
                              "x...x.x...x.x...x.x...x.", 6};
    EXPECT_NEAR(detectAsDeck({.bpm = 68.25, .pattern = tripletHats}), 136.5, 0.2);
}

TEST(TempoDetection, FollowsKickAndSnareRatherThanPercussionThreeAgainstFour) {
    // A loud bell every dotted eighth, over a kick on every beat and over a backbeat.
    Pattern house = kFourOnTheFloor, backbeat = kBackbeat;
    house.percussion = backbeat.percussion = "x..";
    EXPECT_NEAR(detectAsDeck({.bpm = 124.2, .pattern = house}), 124.2, 0.1);
    EXPECT_NEAR(detectAsDeck({.bpm = 109.7, .pattern = backbeat}), 109.7, 0.1);
}

TEST(TempoDetection, TakesTheFastCountAboveOneEightyWhereKickOrBackbeatMarkIt) {
    const Pattern drumAndBass{"x.........x.....", "....x.......x...", "x.x.x.x.x.x.x.x."};
    EXPECT_NEAR(detectAsDeck({.bpm = 184, .pattern = drumAndBass}), 184, 0.1);
    const Pattern hardcore{"x...x...x...x...", "................", "..x...x...x...x."};
    EXPECT_NEAR(detectAsDeck({.bpm = 196.4, .pattern = hardcore}), 196.4, 0.1);
    // The same backbeat at half that speed is no fast count.
    EXPECT_NEAR(detectAsDeck({.bpm = 96.3, .pattern = kBackbeat}), 96.3, 0.1);
}

TEST(TempoDetection, GivesABandsMeanTempo) {
    // Every hit 5 to 15 ms off the grid.
    EXPECT_NEAR(detectAsDeck({.bpm = 123.4, .pattern = kBackbeat, .offGridMs = 15}), 123.4, 0.5);
    // Pushed from 117 to 120.6 halfway through: 118.8 on average, within 0.5 %.
    EXPECT_NEAR(
        detectAsDeck(
            {.bpm = 117, .seconds = 40, .pattern = kBackbeat, .offGridMs = 15, .laterBpm = 120.6}),
        118.8, 0.59);
}

TEST(TempoDetection, KeepsToTheRangeItIsGiven) {
    // Without doubling, a range holding only one metrical level decides it.
    const std::vector<float> audio = render({.bpm = 84.63, .pattern = kBackbeat});
    FakeTrack track(audio, kRate, 2);
    EXPECT_NEAR(analyseBpm(track, 0, 90, 60, 100, 0, {}), 84.63, 0.1);
    // A range far wider than tempos go (the engine takes it from two 16-bit words) is searched
    // only as far as tempos make sense, instead of finding "beats" between envelope frames.
    EXPECT_NEAR(analyseBpm(track, 0, 90, kMin, 65535, kDeckFlags, {}), 169.26, 0.2);
    EXPECT_EQ(analyseBpm(track, 0, 90, 500, 1000, kDeckFlags, {}), 0);
}

TEST(TempoDetection, ResultDoesNotDependOnHowTheAudioIsChunked) {
    const std::vector<float> audio = render({.bpm = 118.8, .seconds = 20});
    std::vector<float> results;
    for (std::size_t chunk : {std::size_t{1}, std::size_t{333}, audio.size()}) {
        TempoDetector detector(kRate);
        for (std::size_t at = 0; at < audio.size(); at += chunk)
            detector.addMono(audio.data() + at, std::min(chunk, audio.size() - at));
        results.push_back(detector.finish(90, 230));
    }
    EXPECT_NEAR(results[0], 118.8, 0.1);
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[0], results[2]);
}

TEST(TempoDetection, ShrugsOffSamplesThatAreNotNumbers) {
    std::vector<float> audio = render({.bpm = 141.3, .seconds = 20});
    audio[1000] = NAN;
    std::fill_n(audio.begin() + kRate * 5, 300, INFINITY);
    audio[kRate * 9] = -INFINITY;
    TempoDetector detector(kRate);
    detector.addMono(audio.data(), audio.size());
    EXPECT_NEAR(detector.finish(90, 230), 141.3, 0.1);
}

TEST(TempoDetection, AnalysesOnlyTheStretchAskedFor) {
    // 20 s at 100 BPM, then 20 s at 140 BPM.
    std::vector<float> audio = render({.bpm = 100, .seconds = 20});
    const std::vector<float> faster = render({.bpm = 140, .seconds = 20});
    audio.insert(audio.end(), faster.begin(), faster.end());
    FakeTrack track(audio, kRate, 2);
    EXPECT_NEAR(analyseBpm(track, 0, 20, kMin, kMax, kDeckFlags, {}), 100, 0.1);
    EXPECT_NEAR(analyseBpm(track, 20, 1e300, kMin, kMax, kDeckFlags, {}), 140, 0.1);
    EXPECT_EQ(analyseBpm(track, 50, 90, kMin, kMax, kDeckFlags, {}), 0);
    EXPECT_EQ(analyseBpm(track, 10, 5, kMin, kMax, kDeckFlags, {}), 0);
    EXPECT_EQ(analyseBpm(track, -1e300, -5, kMin, kMax, kDeckFlags, {}), 0);
    EXPECT_EQ(analyseBpm(track, NAN, 5, kMin, kMax, kDeckFlags, {}), 0);
}

TEST(TempoDetection, FindsNoTempoInSilenceNoiseADroneOrTooLittleAudio) {
    const std::vector<float> silence(kRate * 20, 0.0f);
    FakeTrack quiet(silence, kRate, 2);
    EXPECT_EQ(analyseBpm(quiet, 0, 90, kMin, kMax, kDeckFlags, {}), 0);

    std::mt19937 rng(7);
    std::normal_distribution<float> gauss(0, 0.2f);
    std::vector<float> noise(kRate * 20);
    for (float& v : noise)
        v = gauss(rng);
    FakeTrack hiss(noise, kRate, 2);
    EXPECT_EQ(analyseBpm(hiss, 0, 90, kMin, kMax, kDeckFlags, {}), 0);

    std::vector<float> drone(kRate * 20);
    for (std::size_t i = 0; i < drone.size(); ++i)
        drone[i] = 0.5f * static_cast<float>(std::sin(2 * std::numbers::pi * 220 * i / kRate));
    FakeTrack held(drone, kRate, 1);
    EXPECT_EQ(analyseBpm(held, 0, 90, kMin, kMax, kDeckFlags, {}), 0);

    FakeTrack blip(render({.bpm = 120, .seconds = 1}), kRate, 2);
    EXPECT_EQ(analyseBpm(blip, 0, 90, kMin, kMax, kDeckFlags, {}), 0);
}

TEST(TempoDetection, ReportsProgressFromZeroToHundredOnTheCallersThread) {
    FakeTrack track(render({.bpm = 126, .seconds = 12}), kRate, 2);
    std::vector<float> seen;
    bool onCaller = true;
    const auto caller = std::this_thread::get_id();
    const float bpm = analyseBpm(track, 0, 90, kMin, kMax, kDeckFlags, [&](float percent) {
        seen.push_back(percent);
        onCaller = onCaller && std::this_thread::get_id() == caller;
    });
    EXPECT_NEAR(bpm, 126, 0.1);
    EXPECT_TRUE(onCaller);
    ASSERT_GE(seen.size(), 10u); // a step every half second of audio
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen.back(), 100);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 100.0f), 1);
}

TEST(TempoDetection, AnalysesADecodeThatEndedEarlyAsFarAsItGoes) {
    // A damaged file: the decoder stops after 15 s of a 30 s track.
    const std::vector<float> audio = render({.bpm = 136.4, .seconds = 30});
    FakeTrack track(audio, kRate, 2, 15 * kRate);
    std::vector<float> seen;
    EXPECT_NEAR(analyseBpm(track, 0, 90, kMin, kMax, kDeckFlags,
                           [&](float percent) { seen.push_back(percent); }),
                136.4, 0.1);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), 100);
}
