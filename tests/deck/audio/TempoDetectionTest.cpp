// Tempo detection as the deck asks the engine for it, on generated drum patterns.
#include "EngineTestSupport.h"
#include "deck/audio/BeatGrid.h"
#include "deck/audio/TempoDetector.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <thread>

namespace zen::audio::test {
namespace {

constexpr int kRate = 44100;
// The deck's flags: the result doubled below twice the range's minimum.
constexpr std::uint32_t kDeckFlags = 3;
// A tempo range as the engine takes it: the minimum in the low word, the maximum in the high.
constexpr std::uint32_t range(std::uint32_t min, std::uint32_t max) {
    return min | max << 16;
}

// One bar per instrument, stepsPerBeat steps to the beat: 'x' hit, '.' rest.
struct Pattern {
    const char* kick;
    const char* snare;
    const char* hat;
    int stepsPerBeat = 4;
    const char* percussion = ""; // a cycle of its own, running across the bar lines
    const char* bass = "";       // a bass guitar's low notes, under the kick
    const char* chords = "";     // a chord struck, the next of four at each bar line
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
    double bandIntro = 0;    // the bass and the chords alone for this long before the drums
    float noise = 0.01f;     // level of the white noise over everything
    int rate = kRate;
    double offGridMs = 0; // every hit a third of this to all of it early or late
    double laterBpm = 0;  // the tempo after changeSeconds, when it changes there
    double changeSeconds = 0;
    double glideToBpm = 0;   // the tempo glides to this by the end, as a band's may
    double wander = 0;       // the tempo swings this share either way, every 40 s
    float bassGain = 0.4f;   // the bass guitar's level, the kick's being 0.9
    double kickDecay = 0.12; // how long the kick rings (its time constant, in seconds)
    double padHz = 0; // a pad through the intro: two tones 0.4 % either side of this, beating
};

double tempoAt(const Piece& p, double t) {
    if (p.laterBpm > 0 && t >= p.changeSeconds) return p.laterBpm;
    if (p.glideToBpm > 0) return p.bpm + (p.glideToBpm - p.bpm) * t / p.seconds;
    return p.bpm * (1 + p.wander * std::sin(2 * std::numbers::pi * t / 40));
}

// The roots of the chords a progression goes through, one a bar.
constexpr double kChordRoots[] = {220, 175, 196, 147};

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
    const int barSteps = static_cast<int>(std::strlen(pattern.kick));
    const int cycle = static_cast<int>(std::strlen(pattern.percussion));
    const bool bass = std::strlen(pattern.bass) > 0;
    const bool chords = std::strlen(pattern.chords) > 0;
    std::uniform_real_distribution<double> offGrid(p.offGridMs / 3000, p.offGridMs / 1000);
    // Where this step would fall played straight.
    double beatStart = std::max(0.0, p.introSeconds - p.bandIntro);
    for (int i = 0; beatStart < p.seconds; ++i) {
        const double step = 60.0 / tempoAt(p, beatStart) / pattern.stepsPerBeat;
        double t = beatStart + (i % 2 == 1 ? (2 * p.swing - 1) * step : 0);
        beatStart += step;
        if (t >= p.seconds) break;
        if (p.offGridMs > 0) t = std::max(0.0, t + (rng() % 2 ? 1 : -1) * offGrid(rng));
        const int s = i % barSteps;
        const bool drums = t >= p.introSeconds;
        if (drums && pattern.kick[s] == 'x') hit(t, 55, p.kickDecay, 0.05f, 0.9f);
        if (drums && pattern.snare[s] == 'x') hit(t, 190, 0.06, 0.7f, 0.6f);
        if (drums && pattern.hat[s] == 'x') hit(t, 8000, 0.015, 1.0f, 0.25f);
        if (drums && cycle > 0 && pattern.percussion[i % cycle] == 'x')
            hit(t, 560, 0.05, 0.3f, 0.9f);
        // Under chords the bass plays their roots, two octaves down.
        const double root = chords ? kChordRoots[i / barSteps % 4] : 196;
        if (bass && pattern.bass[s] == 'x') // a plucked string: the fundamental and two overtones
            for (int h = 1; h <= 3; ++h)
                hit(t, root / 4 * h, 0.15, 0.0f, p.bassGain / static_cast<float>(h));
        if (chords && pattern.chords[s] == 'x') // a root, its third and its fifth, ringing on
            for (double ratio : {1.0, 1.26, 1.5})
                hit(t, root * ratio, 0.5, 0.0f, 0.2f);
    }
    const auto padEnd = static_cast<std::size_t>(p.introSeconds * p.rate);
    for (std::size_t i = 0; p.padHz > 0 && i < padEnd; ++i)
        for (double detune : {0.996, 1.004})
            out[i] += 0.3f * static_cast<float>(std::sin(2 * std::numbers::pi * p.padHz * detune *
                                                         static_cast<double>(i) / p.rate));
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] += 0.1f * static_cast<float>(std::sin(2 * std::numbers::pi * 110 * i / p.rate)) +
                  p.noise * noise(rng);
    return out;
}

class TempoDetection : public EngineTest {
protected:
    // The audio as a 16-bit file named after its number, the same on each of `channels`, cut to
    // `keep` of its bytes, opened as the deck opens one for detection.
    Handle decodeChannel(const std::vector<float>& mono, int rate, int channels = 2,
                         int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16, double keep = 1) {
        Pcm pcm{channels, rate, {}};
        for (float v : mono)
            pcm.samples.insert(pcm.samples.end(), std::size_t(channels),
                               static_cast<std::int16_t>(std::clamp(v, -1.0f, 1.0f) * 32767));
        const std::string path = folder.path(std::to_string(files++) + ".audio");
        writeSndfile(path, pcm, format);
        std::filesystem::resize_file(path, std::uintmax_t(keep * std::filesystem::file_size(path)));
        const Handle h = engine->streamCreateFile(path, 0, 0, kDecodeOnly);
        EXPECT_NE(h, 0u) << path;
        return h;
    }
    int files = 0;
};

TEST_F(TempoDetection, FindsTheBeatADjCountsInCommonPatternsMetersAndTempos) {
    // 6/8: kick on the first dotted quarter, snare on the second, hats on the eighths; a triplet
    // feel (hats on the first and last triplet of each beat) below ninety, doubled as the deck
    // asks; a 3/4 waltz keeps the quarter note, fast (whose bar has a 12/8 beat's three
    // parts) or slow; a loud bell every dotted eighth over the drums is not the beat; above 180
    // the fast count holds where kick or backbeat mark it.
    const Pattern sixEight{"x...........", "......x.....", "x.x.x.x.x.x.", 6};
    const Pattern waltz{"x...........", "....x...x...", "x.x.x.x.x.x."};
    const Pattern tripletHats{"x.........x.............", "......x...........x.....",
                              "x...x.x...x.x...x.x...x.", 6};
    Pattern house = kFourOnTheFloor;
    house.percussion = "x..";
    const Pattern drumAndBass{"x.........x.....", "....x.......x...", "x.x.x.x.x.x.x.x."};
    const Pattern rests{"................", "................", "................"};
    const Pattern hardcore{"x...x...x...x...", "................", "..x...x...x...x."};
    // Band music whose bass plays every eighth on the kick's band; the snare marks the beat.
    const Pattern rockEighths{"x.......x.......", "....x.......x...", "x.x.x.x.x.x.x.x.", 4, "",
                              "x.x.x.x.x.x.x.x."};
    const Pattern sixEightInTwo{"x...........", "......x.....", "x.x.x.x.x.x.", 6, "",
                                "x.x.x.x.x.x."};
    const Pattern threeFourRock{"x...........", "........x...", "x.x.x.x.x.x.", 4, "",
                                "x...x...x..."};
    // Pop in 3/4 whose kick on the and of two and even eighths in the hats, the bass and the
    // keys leave the snare on three no bar of its own: where the chords change tells three.
    const Pattern threeFourPop{"x.....x.....", "........x...", "xxxxxxxxxxxx", 4, "",
                               "x.x.x.x.x.x.", "x.x.x.x.x.x."};
    // Nothing lands between the beats of its doubled tempo, whose snare would be a backbeat's.
    const Pattern twelveEight{"x.....x.....x.....x.....", "x.....x.....x.....x.....",
                              "x.x.x.x.x.x.x.x.x.x.x.x.", 6};
    // A slow 12/8 with no snare: the kick on one and three, the bass between, eighths in the hats,
    // as a fast waltz's bar would be but for the kick's and the bass's bar of two beats.
    const Pattern slowTwelveEight{
        "x...........x...........", "........................", "x.x.x.x.x.x.x.x.x.x.x.x.", 6, "",
        "x.....x...x.x.....x....."};
    // A band whose snare plays once more before the bar line, over a bass on every eighth.
    const Pattern pickupBand{"x.......x.......", "....x.......x..x", "x.x.x.x.x.x.x.x.", 4, "",
                             "x.x.x.x.x.x.x.x."};
    const Pattern halfTimeHardcore{"x...x...x...x...", "........x.......", "..x...x...x...x."};
    // Kicks that ring into one another over an off-beat bass on the chords' roots: the kick's
    // repetition fades from beat to beat.
    const Pattern ringingHardcore{"x...x...x...x...", "................", "..x...x...x...x.", 4, "",
                                  "..x...x...x...x.", "x..............."};
    // A kick on every beat and no clap, a tresillo bass on the kick's band, bells in half-note
    // triplets (or in quarter-note triplets over sixteenth hats): the bells' thirds of two beats
    // are no bar of three.
    const Pattern tripletBells{"x...........x...........x...........x...........",
                               "................................................",
                               "......x...........x...........x...........x.....",
                               12,
                               "x...............",
                               "x........x........x...........x........x........"};
    Pattern quarterTripletBells = tripletBells;
    quarterTripletBells.hat = "x..x..x..x..x..x..x..x..x..x..x..x..x..x..x..x..";
    quarterTripletBells.percussion = "x.......";
    const struct {
        const char* what;
        Piece piece;
        double expected, tolerance = 0.1;
        int channels = 2;
    } cases[] = {
        {"four on the floor", {.bpm = 127.37, .pattern = kFourOnTheFloor}, 127.37},
        {"backbeat", {.bpm = 174.2, .pattern = kBackbeat}, 174.2},
        {"sixteenths", {.bpm = 104.61, .pattern = kSixteenths}, 104.61},
        {"below ninety", {.bpm = 84.63, .pattern = kBackbeat}, 169.26, 0.2},
        {"swing", {.bpm = 95.5, .pattern = kSixteenths, .swing = 0.62}, 95.5},
        {"intro without drums", {.bpm = 133.71, .seconds = 45, .introSeconds = 20}, 133.71},
        {"loud noise", {.bpm = 111.1, .pattern = kBackbeat, .noise = 0.3f}, 111.1},
        {"22050 Hz mono", {.bpm = 122.2, .rate = 22050}, 122.2, 0.1, 1},
        {"6/8", {.bpm = 92.5, .pattern = sixEight}, 92.5},
        {"fast waltz", {.bpm = 168, .pattern = waltz}, 168},
        {"slow waltz", {.bpm = 96, .pattern = waltz}, 96},
        {"triplet feel", {.bpm = 68.25, .pattern = tripletHats}, 136.5, 0.2},
        {"bells over a kick", {.bpm = 124.2, .pattern = house}, 124.2},
        {"triplet bells over a kick and a tresillo bass",
         {.bpm = 130.94, .pattern = tripletBells, .bassGain = 0.7f},
         130.94},
        {"quarter-note triplet bells over a kick and a tresillo bass",
         {.bpm = 130.94, .pattern = quarterTripletBells, .bassGain = 0.7f},
         130.94},
        {"drum and bass", {.bpm = 184, .pattern = drumAndBass}, 184},
        {"hardcore", {.bpm = 196.4, .pattern = hardcore}, 196.4},
        // No tempo in a drone alone, in loud noise, or in too little audio.
        {"a drone", {.pattern = rests}, 0},
        {"loud noise alone", {.pattern = rests, .noise = 0.3f}, 0},
        {"a second", {.seconds = 1}, 0},
        {"a backbeat at half that", {.bpm = 96.3, .pattern = kBackbeat}, 96.3},
        {"eighth-note bass", {.bpm = 98.4, .pattern = rockEighths}, 98.4},
        {"a drummer at 96, mono", {.bpm = 96, .pattern = rockEighths, .offGridMs = 12}, 96, 0.2, 1},
        {"6/8 felt in two", {.bpm = 52.3, .pattern = sixEightInTwo}, 104.6, 0.2},
        {"3/4 rock", {.bpm = 108.2, .pattern = threeFourRock}, 108.2},
        {"3/4 pop", {.bpm = 98.74, .pattern = threeFourPop, .bassGain = 0.6f}, 98.74},
        {"half-time snare over a fast kick", {.bpm = 196.4, .pattern = halfTimeHardcore}, 196.4},
        {"ringing kicks", {.bpm = 197.9, .pattern = ringingHardcore, .kickDecay = 0.45}, 197.9},
        // A band's mean tempo: every hit 5 to 15 ms off the grid, and pushed from 117 to 120.6
        // in a minute (118.8 on average, within 0.5 %): no change to a tempo of its own.
        {"pushed",
         {.bpm = 117, .seconds = 60, .pattern = kBackbeat, .offGridMs = 15, .glideToBpm = 120.6},
         118.8,
         0.59},
        // Bands pushing by 3 %, whose whole blurs the snare's repetition a bar on: 101.5 and 97.5
        // on average, not double.
        {"pushed by 3 %",
         {.bpm = 100, .seconds = 60, .pattern = kBackbeat, .offGridMs = 12, .glideToBpm = 103},
         101.5,
         0.5},
        // Pushed by 2 %: each half holds nearly steady, but the whole glides and keeps its mean.
        {"pushed by 2 %",
         {.bpm = 104.3, .seconds = 60, .pattern = kBackbeat, .offGridMs = 15, .glideToBpm = 106.4},
         105.35,
         0.52},
        {"eighth-note bass pushed by 3 %",
         {.bpm = 96,
          .seconds = 60,
          .pattern = rockEighths,
          .offGridMs = 12,
          .glideToBpm = 99,
          .bassGain = 0.6f},
         97.5,
         0.49},
        {"12/8 with a kick and a snare on every beat",
         {.bpm = 106.9, .pattern = twelveEight},
         106.9},
        {"slow 12/8 with a kick on one and three", {.bpm = 60, .pattern = slowTwelveEight}, 120},
        // Bands whose tempo swings 2 % either way every 40 s smear the snare's repetition a bar
        // on: their mean (96.14 and 94.43 over 90 s), not double, within 0.5 % as a wandering
        // tempo is read; played steady, the second would read at double but for the swing's
        // direction.
        {"a backbeat wandering 2 %",
         {.bpm = 96, .seconds = 90, .pattern = kBackbeat, .offGridMs = 15, .wander = 0.02},
         96.14,
         0.25},
        {"a pickup snare wandering 2 %",
         {.bpm = 94.3, .seconds = 90, .pattern = pickupBand, .offGridMs = 15, .wander = 0.02},
         94.43,
         0.47},
    };
    for (const auto& c : cases) {
        const Handle h = decodeChannel(render(c.piece), c.piece.rate, c.channels);
        EXPECT_NEAR(engine->bpmDecodeGet(h, 0, 90, 0, kDeckFlags, {}), c.expected, c.tolerance)
            << c.what;
    }
}

TEST_F(TempoDetection, ATempoThatChangesOnceReadsAsItsLongerSection) {
    // Not the mean of the two, a tempo no bar of the track has: an edit pushed from 124 to 128 a
    // minute in, and bands that play faster from half a minute in.
    const Pattern bandWithBass{"x.......x.......", "....x.......x...", "x.x.x.x.x.x.x.x.", 4, "",
                               "x.....x.x.......", "x..............."};
    const Pattern houseWithBass{"x...x...x...x...", "....x.......x...", "..x...x...x...x.", 4, "",
                                "..x...x...x...x.", "x..............."};
    const struct {
        const char* what;
        Piece piece;
        double expected;
    } cases[] = {
        {"pushed after a minute",
         {.bpm = 124, .seconds = 90, .laterBpm = 128, .changeSeconds = 60},
         124},
        {"faster after half a minute",
         {.bpm = 100, .seconds = 90, .pattern = kBackbeat, .laterBpm = 132, .changeSeconds = 30},
         132},
        // Whose whole, blurred by the two tempos, reads at half the sections' tempo.
        {"pushed by under 3 % after half a minute",
         {.bpm = 96, .seconds = 90, .pattern = kBackbeat, .laterBpm = 98.7, .changeSeconds = 30},
         98.7},
        // A band playing loosely, whose first stretch holds an intro of bass and chords alone:
        // its few onsets measure the tempo less exactly than the drums do later on.
        {"pushed by 3 % after an intro without drums",
         {.bpm = 122.95,
          .seconds = 90,
          .pattern = bandWithBass,
          .introSeconds = 8,
          .bandIntro = 8,
          .offGridMs = 20,
          .laterBpm = 126.55,
          .changeSeconds = 25},
         126.55},
        // An edit pulled by 4 % whose intro holds a pad, alone and then under the bass: its beating
        // measures the tempo of the first stretch 1 % off, as if the first section wandered.
        {"pulled by 4 % after an intro over a pad",
         {.bpm = 129.37,
          .seconds = 90,
          .pattern = houseWithBass,
          .introSeconds = 8,
          .bandIntro = 4,
          .laterBpm = 124.29,
          .changeSeconds = 30,
          .padHz = 262},
         124.29},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(
            engine->bpmDecodeGet(decodeChannel(render(c.piece), kRate), 0, 90, 0, kDeckFlags, {}),
            c.expected, 0.1)
            << c.what;
}

TEST_F(TempoDetection, AnalysesWhatIsAskedAsFarAsTheDecodeGoesAndReportsProgress) {
    // 20 s at 100 BPM, then 30 s at 84.63 BPM, in a FLAC file cut short: it is told at its full
    // length, and its decode ends after about 35 s.
    std::vector<float> audio = render({.bpm = 100, .seconds = 20});
    const std::vector<float> slower = render({.bpm = 84.63, .pattern = kBackbeat});
    audio.insert(audio.end(), slower.begin(), slower.end());
    const Handle h = decodeChannel(audio, kRate, 2, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 0.7);
    const Handle playing = engine->streamCreateFile(folder.path("0.audio"), 0, 0, 0);
    EXPECT_EQ(engine->bpmDecodeGet(playing, 0, 90, 0, 3, nullptr), 0.0f) << "decode channels only";
    EXPECT_EQ(engine->bpmPercents2Bpm(h, -1), 0.0f) << "no result yet";
    const struct {
        double start, end;
        std::uint32_t range, flags;
        double expected;
    } cases[] = {
        {0, 20, 0, kDeckFlags, 100},
        {20, 1e300, 0, kDeckFlags, 169.26},
        // Without doubling, a range holding only one metrical level decides it.
        {20, 90, range(60, 100), 0, 84.63},
        // A range far wider than tempos go is searched only as far as tempos make sense, instead
        // of finding "beats" between envelope frames.
        {20, 90, range(45, 65535), kDeckFlags, 169.26},
        {0, 90, range(500, 1000), kDeckFlags, 0},
        {0, 90, range(100, 90), kDeckFlags, 0},
        {45, 90, 0, kDeckFlags, 0},
        {10, 5, 0, kDeckFlags, 0},
        {-1e300, -5, 0, kDeckFlags, 0},
        {NAN, 5, 0, kDeckFlags, 0},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(engine->bpmDecodeGet(h, c.start, c.end, c.range, c.flags, {}), c.expected, 0.2)
            << c.start << " s to " << c.end << " s in range " << std::hex << c.range;
    // Progress on the caller's thread, once from 0 to 100.
    std::vector<float> seen;
    const auto caller = std::this_thread::get_id();
    const float bpm = engine->bpmDecodeGet(h, 0, 20, 0, kDeckFlags, [&](Handle c, float percent) {
        EXPECT_EQ(c, h);
        EXPECT_EQ(std::this_thread::get_id(), caller);
        seen.push_back(percent);
    });
    EXPECT_NEAR(bpm, 100, 0.1);
    ASSERT_GE(seen.size(), 10u) << "a step every half second of audio";
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen.back(), 100);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 100.0f), 1);
    // The deck shows -100 x Percents2BPM(detection, TempoGetApproxPercents(0)).
    EXPECT_EQ(engine->tempoGetApproxPercents(0), -1.0f);
    EXPECT_FLOAT_EQ(-100 * engine->bpmPercents2Bpm(h, engine->tempoGetApproxPercents(0)), bpm);
    engine->bpmFree(h);
    EXPECT_EQ(engine->streamGetLength(h), -1) << "the decode channel goes with it";
    EXPECT_EQ(engine->bpmDecodeGet(h, 0, 90, 0, kDeckFlags, nullptr), 0.0f);
}

TEST(TempoDetector, ResultIgnoresChunkingAndSamplesThatAreNotNumbers) {
    std::vector<float> audio = render({.bpm = 141.3, .seconds = 20});
    audio[1000] = NAN;
    std::fill_n(audio.begin() + kRate * 5, 300, INFINITY);
    audio[kRate * 9] = -INFINITY;
    std::vector<float> results;
    for (std::size_t chunk : {std::size_t{1}, std::size_t{333}, audio.size()}) {
        TempoDetector detector(kRate);
        for (std::size_t at = 0; at < audio.size(); at += chunk)
            detector.addMono(audio.data() + at, std::min(chunk, audio.size() - at));
        results.push_back(detector.finish(90, 230));
    }
    EXPECT_NEAR(results[0], 141.3, 0.1);
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[0], results[2]);
}

TEST(BeatGrid, AStretchCountsAsFarAsABandsWanderReachesAndNoFurther) {
    // A minute of onsets at `bpm` whose fifth 7.5 s stretch plays `slower` times as slowly.
    constexpr double kFps = 100;
    const auto withSlowerFifth = [](double bpm, double slower) {
        std::vector<float> onsets(6000, 0.0f);
        const double beat = 60 * kFps / bpm;
        for (double frame = 0; frame < 6000;
             frame += frame >= 3000 && frame < 3750 ? beat * slower : beat)
            onsets[static_cast<std::size_t>(frame)] = 1;
        return onsets;
    };
    // 4 % slower at 120 BPM: its grid, searched within the reach of a band's wander, finds its
    // best at the end of the search, which is no beat of that stretch, and a steady tempo stays
    // as it is.
    const std::vector<float> beyond = withSlowerFifth(120, 1.0416);
    std::vector<Stretch> stretches = stretchTempos(beyond, kFps, 120);
    ASSERT_EQ(stretches.size(), 8u);
    EXPECT_FALSE(stretches[4].counted);
    EXPECT_NEAR(meanTempo(stretches, beyond.size(), 120), 120, 0.05);
    // 2.7 % slower at 60 BPM, as a band's swing may be: within the 3 % a wander reaches, however
    // few BPM that is at a slow tempo.
    stretches = stretchTempos(withSlowerFifth(60, 1.0277), kFps, 60);
    ASSERT_EQ(stretches.size(), 8u);
    EXPECT_TRUE(stretches[4].counted);
    EXPECT_NEAR(stretches[4].bpm, 60 / 1.0277, 0.1);
}

} // namespace
} // namespace zen::audio::test
