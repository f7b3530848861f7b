#include "TempoDetector.h"

#include "BeatGrid.h"
#include "Correlation.h"
#include "MetricalLevel.h"
#include "OnsetEnvelope.h"
#include "TempoChange.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace zen::audio {

namespace {

// Below this peak (about -80 dBFS) the input counts as silence.
constexpr float kSilentPeak = 1e-4f;
// Less than this much audio holds too few beats to tell a tempo.
constexpr double kShortestSeconds = 3.0;
// Onsets weaker than this on average (in band-normalised units) are no rhythm: a held tone whose
// bands hardly move.
constexpr double kLeastOnsetStrength = 0.3;
// The best metrical score, in units of the autocorrelation's scatter for noise, that a beat must
// reach (see hasRhythm).
constexpr double kLeastBeatSignificance = 2.5;
constexpr double kCoarseStep = 1.001; // candidate tempos 0.1 % apart
// The tempos searched at most, whatever range is asked for.
constexpr float kSlowestBpm = 20;
constexpr float kFastestBpm = 400;
// The kick and the bass play below kLowTopHz; below kKickTopHz mostly the kick's body.
constexpr double kLowTopHz = 150;
constexpr double kKickTopHz = 90;
// Two sections hold different tempos from 1 % apart. Up to 3 % (as far as the stretches of the
// whole are searched) a wandering tempo can look so too; a steady tempo's stretches scatter by up
// to 0.5 %.
constexpr double kLeastChange = 0.01;
constexpr double kWanderReach = 0.03;
constexpr double kSteady = 0.005;

// Spreads each onset over +-20 ms, so that a drummer's hits off the grid still line up with each
// other in the autocorrelation.
std::vector<float> smoothed(const std::vector<float>& env) {
    constexpr float kernel[] = {1, 2, 3, 2, 1};
    std::vector<float> out(env.size(), 0.0f);
    for (std::size_t t = 0; t < env.size(); ++t)
        for (std::size_t k = 0; k < 5; ++k)
            if (t + k >= 2 && t + k - 2 < env.size()) out[t] += kernel[k] * env[t + k - 2] / 9;
    return out;
}

// Removes the slowly varying part of the envelope (a local mean over a second) and keeps what
// rises above it, so that held sounds and swells do not count as rhythm.
std::vector<float> rhythmicPart(const std::vector<float>& env, double fps) {
    const std::size_t n = env.size();
    const std::size_t half = static_cast<std::size_t>(fps / 2);
    std::vector<double> prefix(n + 1, 0.0);
    for (std::size_t t = 0; t < n; ++t)
        prefix[t + 1] = prefix[t] + env[t];
    std::vector<float> out(n);
    for (std::size_t t = 0; t < n; ++t) {
        const std::size_t lo = t > half ? t - half : 0;
        const std::size_t hi = std::min(n, t + half + 1);
        const double mean = (prefix[hi] - prefix[lo]) / static_cast<double>(hi - lo);
        out[t] = std::max(0.0f, env[t] - static_cast<float>(mean));
    }
    return out;
}

// Whether the onsets hold a beat at all, rather than noise or a steady sound. The autocorrelation
// of n frames of noise scatters by about 1/sqrt(n) at every lag, so the best score is measured in
// that unit: noise reaches about 2 at most, drum-led music 4 and more even under loud noise.
bool hasRhythm(const std::vector<float>& onsets, double bestScore) {
    double strength = 0;
    for (float v : onsets)
        strength += v;
    const auto n = static_cast<double>(onsets.size());
    return strength / n >= kLeastOnsetStrength &&
           bestScore * std::sqrt(n) >= kLeastBeatSignificance;
}

// The onsets of a stretch of audio, whole or in part: of all bands, and beside them the loud rises
// where the kick and the bass play, the noise bursts of a snare or a clap and where the harmony
// changes, each spread over +-20 ms so that hits played off the grid still line up in its
// autocorrelation.
struct Rhythm {
    std::vector<float> onsets, low, kick, snare, harmony;
    double framesPerSecond = 100;

    // Frames [from, to) of it.
    Rhythm part(std::size_t from, std::size_t to) const {
        const auto cut = [&](const std::vector<float>& v) {
            return std::vector<float>(v.begin() + static_cast<long>(from),
                                      v.begin() + static_cast<long>(to));
        };
        return {cut(onsets), cut(low), cut(kick), cut(snare), cut(harmony), framesPerSecond};
    }

    // The rhythm read at fractional frames: each value on the straight line between its two
    // neighbours.
    Rhythm at(const std::vector<double>& frames) const {
        const auto read = [&](const std::vector<float>& v) {
            std::vector<float> out;
            out.reserve(frames.size());
            for (double f : frames) {
                const auto t = std::min(static_cast<std::size_t>(f), v.size() - 2);
                out.push_back(v[t] +
                              static_cast<float>(f - static_cast<double>(t)) * (v[t + 1] - v[t]));
            }
            return out;
        };
        return {read(onsets), read(low), read(kick), read(snare), read(harmony), framesPerSecond};
    }
};

// The beat of a rhythm: the metrical level the kick and the snare mark, refined on the beat grid
// that lines up best with the onsets, and the stretches of that grid; no tempo (0) when the
// onsets hold no beat.
struct Beat {
    double grid = 0;
    std::vector<Stretch> stretches;

    // The tempo: the grid's, or the mean of a wandering one.
    double tempo(double minBpm, double maxBpm, std::size_t frames) const {
        const double mean = meanTempo(stretches, frames, grid);
        return mean >= minBpm && mean <= maxBpm ? mean : grid;
    }
};

Beat beatOf(const Rhythm& r, double minBpm, double maxBpm) {
    const double fps = r.framesPerSecond;
    const std::size_t n = r.onsets.size();
    const double slowestBeatLag = 60.0 * fps / minBpm;
    const auto maxLag =
        std::min(n / 2, static_cast<std::size_t>(std::ceil(slowestBeatLag * 8)) + 2);
    Correlation correlation(n, maxLag);
    Periodicities p;
    p.framesPerSecond = fps;
    const auto all = correlation.spectrum(r.onsets);
    const auto snare = correlation.spectrum(r.snare);
    p.all = correlation.autocorrelation(all);
    const auto low = correlation.spectrum(r.low);
    p.low = correlation.autocorrelation(low);
    p.lowToSnare = correlation.crossCorrelation(low, snare);
    p.kick = correlation.autocorrelation(correlation.spectrum(r.kick));
    p.snare = correlation.autocorrelation(snare);
    p.allToSnare = correlation.crossCorrelation(all, snare);
    p.harmonyToSnare = correlation.crossCorrelation(correlation.spectrum(r.harmony), snare);

    std::vector<double> tempos;
    std::vector<double> scores;
    for (double bpm = minBpm; bpm <= maxBpm; bpm *= kCoarseStep) {
        tempos.push_back(bpm);
        scores.push_back(metricalScore(p, bpm));
    }
    if (scores.empty() || !hasRhythm(r.onsets, *std::max_element(scores.begin(), scores.end())))
        return {};

    // Peaks of the metrical score, best first. The beat level is chosen among them and refined on
    // the beat grid; should its grid tempo fall outside the range, the peaks are tried in turn,
    // and the first whose grid tempo lies inside the range wins. A peak at an end of the range, or
    // one whose grid tempo lies just outside it, belongs to a tempo outside the range, and the
    // range's edge would be a made-up value.
    std::vector<std::pair<double, double>> peaks; // score, tempo
    for (std::size_t i = 1; i + 1 < scores.size(); ++i)
        if (scores[i] > scores[i - 1] && scores[i] >= scores[i + 1])
            peaks.emplace_back(scores[i], tempos[i]);
    std::sort(peaks.begin(), peaks.end(), std::greater<>());
    std::vector<double> candidates;
    for (const auto& peak : peaks)
        candidates.push_back(peak.second);
    candidates.insert(candidates.begin(), beatLevel(p, candidates, minBpm, maxBpm));
    for (double candidate : candidates) {
        const double refined = gridTempo(r.onsets, fps, candidate);
        if (refined >= minBpm && refined <= maxBpm)
            return {refined, stretchTempos(r.onsets, fps, refined)};
    }
    return {};
}

// The power of two nearest a ratio of tempos: the metrical level one lies at from the other.
double nearestOctave(double ratio) {
    return std::exp2(std::round(std::log2(ratio)));
}

// The rhythm as it would sound played at a steady tempo, `mean`: each frame stretched or squeezed
// by the tempo where it lies over the mean, the tempo running in a straight line from the middle of
// one counted stretch to the next (held before the first and after the last).
Rhythm steadied(const Rhythm& r, const std::vector<Stretch>& stretches, double mean) {
    std::vector<std::pair<double, double>> points; // frame, tempo
    for (const Stretch& s : stretches)
        if (s.counted) points.emplace_back(static_cast<double>(s.from + s.to) / 2, s.bpm);
    const auto tempoAt = [&](double t) {
        if (t <= points.front().first) return points.front().second;
        if (t >= points.back().first) return points.back().second;
        const auto next = std::upper_bound(points.begin(), points.end(), t,
                                           [](double v, const auto& p) { return v < p.first; });
        const auto& [t0, b0] = *(next - 1);
        const auto& [t1, b1] = *next;
        return b0 + (b1 - b0) * (t - t0) / (t1 - t0);
    };
    const std::size_t n = r.onsets.size();
    std::vector<double> at(n + 1, 0.0); // where each frame starts at the steady tempo
    for (std::size_t t = 0; t < n; ++t)
        at[t + 1] = at[t] + tempoAt(static_cast<double>(t)) / mean;
    std::vector<double> frames; // the frame each steady frame falls on
    std::size_t t = 0;
    for (double k = 0; k + 1 < at[n]; k += 1) {
        while (t + 2 < n && at[t + 1] <= k)
            ++t;
        frames.push_back(static_cast<double>(t) + std::min(1.0, (k - at[t]) / (at[t + 1] - at[t])));
    }
    return r.at(frames);
}

// The metrical level, a power of two below the whole's, at which a wandering tempo finds its beat
// once played steady, or 1. A band whose tempo swings by a percent or two moves the beats a bar
// apart by several frames of the envelope, which blurs the backbeat that marks its level: the
// drift pulls the reading to a faster level, whose bar is shorter, never to a slower one.
double steadiedLevel(const Rhythm& r, const Beat& whole, double tempo, double minBpm,
                     double maxBpm) {
    if (tempo == whole.grid) return 1;
    const Beat steady = beatOf(steadied(r, whole.stretches, tempo), minBpm, maxBpm);
    if (steady.grid == 0) return 1;
    const double level = nearestOctave(steady.grid / tempo);
    const double atLevel = tempo * level;
    return level < 1 && std::fabs(steady.grid / atLevel - 1) < kWanderReach && atLevel >= minBpm &&
                   atLevel <= maxBpm
               ? level
               : 1;
}

// Whether the whole's stretches within two sections follow one steady glide at least as closely as
// two steady tempos, each fitted to them by least squares with two values (a line's start and
// slope; the two sections' means): a band that pushes by a few percent over a minute moves through
// both sections, a step holds each tempo and passes from the one to the other between them.
bool glides(const Beat& whole, const Split& split, double level) {
    double n[2] = {}, sum[2] = {}, squares[2] = {};
    double count = 0, sumT = 0, sumY = 0, sumTT = 0, sumTY = 0, sumYY = 0;
    for (const Stretch& s : whole.stretches) {
        const int part = s.to <= split.firstEnd ? 0 : s.from >= split.secondStart ? 1 : -1;
        if (!s.counted || part < 0) continue;
        const double t = static_cast<double>(s.from + s.to) / 2, y = s.bpm * level;
        n[part] += 1;
        sum[part] += y;
        squares[part] += y * y;
        count += 1;
        sumT += t;
        sumY += y;
        sumTT += t * t;
        sumTY += t * y;
        sumYY += y * y;
    }
    if (n[0] < 2 || n[1] < 2) return false;
    const double steps = squares[0] - sum[0] * sum[0] / n[0] + squares[1] - sum[1] * sum[1] / n[1];
    const double spreadT = sumTT - sumT * sumT / count, spreadY = sumYY - sumY * sumY / count;
    const double together = sumTY - sumT * sumY / count;
    const double line = spreadY - together * together / spreadT;
    return line <= steps;
}

// The tempo of the longer of two sections split where the tempo may change, or nothing unless
// each holds a steady beat of its own and the two differ: an intro or an outro without drums is
// no section, nor is a half of a wandering tempo. A tempo that wanders or glides by a few percent
// can look like a small step between its halves, but a step holds each tempo steady and passes
// from the one to the other: the stretches of the whole agree within 0.5 % in each section and
// lie between the two where the tempo changes, where a wandering tempo moves within its sections
// and swings beyond them, and two steady tempos fit them better than one glide.
std::optional<double> longerSection(const Beat& whole, const Beat& a, const Beat& b,
                                    const Split& split, std::size_t n, double minBpm,
                                    double maxBpm) {
    if (a.grid == 0 || b.grid == 0) return std::nullopt;
    // Past a band's reach, the first section's own first stretch, the track's, does not count
    // towards its wander: an intro over a pad, whose detuned voices beat at a rate of their own,
    // can measure the tempo 1 % off and make a steady section look wandering. Within the reach
    // it counts, as a drifting band's first stretch must.
    Beat first = a;
    if (std::fabs(a.grid / b.grid - 1) >= kWanderReach && !first.stretches.empty())
        first.stretches.front().counted = false;
    const double tempoA = first.tempo(minBpm, maxBpm, split.firstEnd);
    const double tempoB = b.tempo(minBpm, maxBpm, n - split.secondStart);
    const double step = std::fabs(tempoA / tempoB - 1);
    if (tempoA != a.grid || tempoB != b.grid || step < kLeastChange) return std::nullopt;
    if (step < kWanderReach) {
        // Slowest and fastest stretch before, between and after the sections, at the sections'
        // level: the whole, whose two tempos blur, can find its beat at double or half of it. The
        // track's first stretch does not count: it often holds an intro where the drums have not
        // come in, whose few onsets (a bass, chords) measure the tempo less exactly, 0.5 to 0.8 %
        // off where the drums later agree within 0.1 %.
        const double level = nearestOctave(tempoA / whole.grid);
        double slowest[3] = {tempoA, std::min(tempoA, tempoB), tempoB};
        double fastest[3] = {tempoA, std::max(tempoA, tempoB), tempoB};
        for (const Stretch& s : whole.stretches) {
            if (!s.counted || s.from == 0) continue;
            const int part = s.to <= split.firstEnd ? 0 : s.from >= split.secondStart ? 2 : 1;
            slowest[part] = std::min(slowest[part], s.bpm * level);
            fastest[part] = std::max(fastest[part], s.bpm * level);
        }
        if (fastest[0] - slowest[0] > kSteady * tempoA ||
            fastest[2] - slowest[2] > kSteady * tempoB ||
            fastest[1] > std::max(tempoA, tempoB) * (1 + kSteady) ||
            slowest[1] < std::min(tempoA, tempoB) * (1 - kSteady) || glides(whole, split, level))
            return std::nullopt;
    }
    // What lies between the sections goes half to each.
    return split.firstEnd + split.secondStart >= n ? tempoA : tempoB;
}

// The metrical level, a power of two of the whole's, at which both sections find their beat within
// a wandering tempo's reach of each other, or 1. A band whose tempo drifts blurs the whole's
// repetitions a bar apart more than each half's, and the whole can lose the backbeat that marks
// its level where the halves keep it.
double sectionsLevel(const Beat& whole, const Beat& a, const Beat& b) {
    if (a.grid == 0 || b.grid == 0 || std::fabs(a.grid / b.grid - 1) >= kWanderReach) return 1;
    const double level = nearestOctave(a.grid / whole.grid);
    return std::fabs(a.grid / (whole.grid * level) - 1) < kWanderReach &&
                   std::fabs(b.grid / (whole.grid * level) - 1) < kWanderReach
               ? level
               : 1;
}

} // namespace

struct TempoDetector::Impl {
    explicit Impl(int sampleRate) : envelope(sampleRate) {}
    OnsetEnvelope envelope;
};

TempoDetector::TempoDetector(int sampleRate) : impl_(std::make_unique<Impl>(sampleRate)) {}

TempoDetector::~TempoDetector() = default;

void TempoDetector::addMono(const float* samples, std::size_t count) {
    impl_->envelope.add(samples, count);
}

float TempoDetector::finish(float minBpm, float maxBpm) {
    if (!(minBpm > 0) || !(maxBpm >= minBpm)) return 0;
    // The envelope's 10 ms frames resolve the sixteenths of tempos up to a few hundred BPM; the
    // bars of tempos below a few dozen BPM outlast any stretch worth analysing.
    minBpm = std::max(minBpm, kSlowestBpm);
    maxBpm = std::min(maxBpm, kFastestBpm);
    if (minBpm > maxBpm) return 0;
    const OnsetEnvelope& e = impl_->envelope;
    const double fps = e.framesPerSecond();
    const std::vector<float> env = e.envelope();
    if (e.peak() < kSilentPeak || static_cast<double>(env.size()) < kShortestSeconds * fps)
        return 0;

    const Rhythm rhythm{rhythmicPart(env, fps),
                        rhythmicPart(smoothed(e.loudRises(0, kLowTopHz)), fps),
                        rhythmicPart(smoothed(e.loudRises(0, kKickTopHz)), fps),
                        rhythmicPart(smoothed(e.noiseBursts()), fps),
                        rhythmicPart(smoothed(e.harmonyChanges()), fps),
                        fps};
    const Beat whole = beatOf(rhythm, minBpm, maxBpm);
    if (whole.grid == 0) return 0;
    const double tempo = whole.tempo(minBpm, maxBpm, env.size());
    const auto split = tempoChange(rhythm.onsets, fps);
    const auto steadyTempo = [&] {
        return tempo * steadiedLevel(rhythm, whole, tempo, minBpm, maxBpm);
    };
    if (!split) return static_cast<float>(steadyTempo());
    const std::size_t n = rhythm.onsets.size();
    const Beat a = beatOf(rhythm.part(0, split->firstEnd), minBpm, maxBpm);
    const Beat b = beatOf(rhythm.part(split->secondStart, n), minBpm, maxBpm);
    // A tempo that changes once reads as the tempo of its longer section; its whole, which the
    // change makes look wandering, need not be played steady.
    if (const auto section = longerSection(whole, a, b, *split, n, minBpm, maxBpm))
        return static_cast<float>(*section);
    // Else a wandering tempo at the level it finds played steady, or the whole's tempo at the
    // level both its sections find.
    if (const double steady = steadyTempo(); steady != tempo) return static_cast<float>(steady);
    const double atSectionsLevel = tempo * sectionsLevel(whole, a, b);
    return static_cast<float>(
        atSectionsLevel >= minBpm && atSectionsLevel <= maxBpm ? atSectionsLevel : tempo);
}

} // namespace zen::audio
