#include "BeatGrid.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace zen::audio {

namespace {

constexpr double kFineSpan = 0.01; // the grid search covers +-1 % around the estimate
// A wandering tempo is measured in stretches of about 7.5 s, short enough to follow its swings,
// each searched within +-3 % of the whole's tempo in steps of 0.4 BPM (a stretch's grid peak is
// about 2 BPM wide), then 0.04.
constexpr double kStretchSeconds = 7.5;
constexpr double kWanderSpan = 0.03;
constexpr double kWanderStep = 0.4;
// The search reaches two steps further, so that a stretch whose beat lies at the span's end still
// finds its peak there rather than at the end of the search.
constexpr double kWanderBeyond = 2 * kWanderStep;
// A stretch counts when its onsets line up with its grid at least half as clearly as in the
// clearest stretch (an intro or a breakdown without drums does not), and the counted stretches
// must cover half of the envelope.
constexpr double kLeastClarity = 0.5;
constexpr double kLeastCover = 0.5;
// Stretches of a steady tempo agree within about 0.5 %, those of a band's wandering tempo differ
// by 1.5 % and more: beyond 0.8 % between the slowest and the fastest, the mean of the stretches
// replaces the steady grid's tempo.
constexpr double kLeastWander = 0.008;

constexpr int kMaxHarmonics = 16;

int harmonicsOf(double bpm) {
    return std::clamp(static_cast<int>(640 / bpm), 4, kMaxHarmonics);
}

// Candidate tempos are scored a vector of them at a time: each lane runs the same arithmetic as one
// tempo alone, so a tempo scores the same to the last bit whichever lanes it shares and whichever
// vector unit runs it, while the lanes overlap the harmonics' chains of multiplications, which one
// tempo leaves waiting on each other. Two lanes in SSE2, which every x86-64 has; four where AVX2 is
// there, over three times as fast as one tempo at a time. More lanes than the registers hold run
// slower.
using Pair = double __attribute__((vector_size(16)));
using Quad = double __attribute__((vector_size(32)));

template <typename Lanes>
[[gnu::always_inline]] inline std::vector<double>
scoresInLanes(const std::vector<float>& onsets, double fps, const std::vector<double>& bpms) {
    constexpr std::size_t kLanes = sizeof(Lanes) / sizeof(double);
    std::vector<double> scores(bpms.size());
    for (std::size_t first = 0; first < bpms.size(); first += kLanes) {
        const std::size_t used = std::min(kLanes, bpms.size() - first);
        // Complex arithmetic written out: std::complex's NaN-safe multiply costs a library call.
        Lanes turnRe, turnIm, zRe, zIm;
        int harmonics = 0;
        for (std::size_t l = 0; l < kLanes; ++l) {
            // Lanes past the last tempo repeat it and are not read.
            const double bpm = bpms[first + std::min(l, used - 1)];
            const double step = -2 * std::numbers::pi / (60.0 * fps / bpm);
            turnRe[l] = std::cos(step);
            turnIm[l] = std::sin(step);
            zRe[l] = 1;
            zIm[l] = 0;
            harmonics = std::max(harmonics, harmonicsOf(bpm));
        }
        Lanes re[kMaxHarmonics] = {}, im[kMaxHarmonics] = {};
        for (float v : onsets) {
            if (v > 0) {
                const double value = v;
                Lanes pRe = zRe, pIm = zIm;
                for (int h = 0; h < harmonics; ++h) {
                    re[h] += value * pRe;
                    im[h] += value * pIm;
                    const Lanes next = pRe * zRe - pIm * zIm;
                    pIm = pRe * zIm + pIm * zRe;
                    pRe = next;
                }
            }
            const Lanes next = zRe * turnRe - zIm * turnIm;
            zIm = zRe * turnIm + zIm * turnRe;
            zRe = next;
        }
        for (std::size_t l = 0; l < used; ++l) {
            double score = 0;
            for (int h = 0; h < harmonicsOf(bpms[first + l]); ++h)
                score += std::hypot(re[h][l], im[h][l]);
            scores[first + l] = score;
        }
    }
    return scores;
}

[[gnu::target("avx2")]] std::vector<double>
scoresInQuads(const std::vector<float>& onsets, double fps, const std::vector<double>& bpms) {
    return scoresInLanes<Quad>(onsets, fps, bpms);
}

// How strongly the envelope repeats exactly every beat of each tempo (60 * fps / bpm frames) over
// its whole span: the magnitudes of its Fourier sums at the beat rate and its harmonics up to about
// sixteenth notes at 160 BPM, which peak when a beat grid of that period lines up with the onsets
// from the first to the last. The higher harmonics sharpen the peak, most of all for slow tempos.
std::vector<double> gridScores(const std::vector<float>& onsets, double fps,
                               const std::vector<double>& bpms) {
    static const bool quads = __builtin_cpu_supports("avx2");
    return quads ? scoresInQuads(onsets, fps, bpms) : scoresInLanes<Pair>(onsets, fps, bpms);
}

// A tempo found by a search, and its grid's score.
struct Found {
    double bpm, score;
};

// The tempo within +-span of an estimate, and `beyond` BPM further, whose beat grid lines up best
// with the onsets: steps of `step` BPM, then of a tenth of that around the best.
Found search(const std::vector<float>& onsets, double fps, double estimate, double span,
             double step, double beyond = 0) {
    double best = estimate;
    double bestScore = -1;
    auto scan = [&](double from, double to, double step) {
        std::vector<double> bpms;
        for (double bpm = from; bpm <= to + 1e-9; bpm += step)
            bpms.push_back(bpm);
        const std::vector<double> scores = gridScores(onsets, fps, bpms);
        for (std::size_t k = 0; k < bpms.size(); ++k)
            if (scores[k] > bestScore) {
                bestScore = scores[k];
                best = bpms[k];
            }
    };
    scan(estimate * (1 - span) - beyond, estimate * (1 + span) + beyond, step);
    const double centre = best;
    scan(centre - step, centre + step, step / 10);
    return {best, bestScore};
}

} // namespace

double gridTempo(const std::vector<float>& onsets, double fps, double estimate) {
    return search(onsets, fps, estimate, kFineSpan, 0.02).bpm;
}

std::vector<Stretch> stretchTempos(const std::vector<float>& onsets, double fps, double bpm) {
    const std::size_t n = onsets.size();
    const auto count = static_cast<std::size_t>(static_cast<double>(n) / (kStretchSeconds * fps));
    if (count < 2) return {};
    std::vector<Stretch> stretches;
    const std::size_t size = n / count;
    for (std::size_t k = 0; k < count; ++k) {
        Stretch s;
        s.from = k * size;
        s.to = k + 1 == count ? n : (k + 1) * size;
        const std::vector<float> part(onsets.begin() + static_cast<long>(s.from),
                                      onsets.begin() + static_cast<long>(s.to));
        double sum = 0;
        for (float v : part)
            sum += std::max(0.0f, v);
        const Found found = search(part, fps, bpm, kWanderSpan, kWanderStep, kWanderBeyond);
        s.bpm = found.bpm;
        s.clarity = sum > 0 ? found.score / sum : 0;
        stretches.push_back(s);
    }
    double clearest = 0;
    for (const auto& s : stretches)
        clearest = std::max(clearest, s.clarity);
    // A stretch whose best grid lies beyond the wander's reach found no beat near the tempo there.
    const double reach = bpm * kWanderSpan;
    for (auto& s : stretches)
        s.counted = s.clarity >= kLeastClarity * clearest && std::fabs(s.bpm - bpm) <= reach;
    return stretches;
}

double meanTempo(const std::vector<Stretch>& stretches, std::size_t frames, double bpm) {
    double beatFrames = 0, counted = 0;
    double slowest = std::numeric_limits<double>::max(), fastest = 0;
    for (const auto& s : stretches) {
        if (!s.counted) continue;
        const auto length = static_cast<double>(s.to - s.from);
        beatFrames += s.bpm * length;
        counted += length;
        slowest = std::min(slowest, s.bpm);
        fastest = std::max(fastest, s.bpm);
    }
    if (counted < kLeastCover * static_cast<double>(frames) ||
        fastest - slowest < kLeastWander * bpm)
        return bpm;
    return beatFrames / counted;
}

} // namespace zen::audio
