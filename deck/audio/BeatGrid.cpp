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
// A stretch counts when its onsets line up with its grid at least half as clearly as in the
// clearest stretch (an intro or a breakdown without drums does not), and the counted stretches
// must cover half of the envelope.
constexpr double kLeastClarity = 0.5;
constexpr double kLeastCover = 0.5;
// Stretches of a steady tempo agree within about 0.5 %, those of a band's wandering tempo differ
// by 1.5 % and more: beyond 0.8 % between the slowest and the fastest, the mean of the stretches
// replaces the steady grid's tempo.
constexpr double kLeastWander = 0.008;

// How strongly the envelope repeats exactly every beatLag frames over its whole span: the
// magnitudes of its Fourier sums at the beat rate and its harmonics up to about sixteenth notes at
// 160 BPM, which peak when a beat grid of that period lines up with the onsets from the first to
// the last. The higher harmonics sharpen the peak, most of all for slow tempos.
double gridScore(const std::vector<float>& onsets, double beatLag, double bpm) {
    constexpr int kMaxHarmonics = 16;
    const int harmonics = std::clamp(static_cast<int>(640 / bpm), 4, kMaxHarmonics);
    const double step = -2 * std::numbers::pi / beatLag;
    const double turnRe = std::cos(step), turnIm = std::sin(step);
    // Complex arithmetic written out: std::complex's NaN-safe multiply costs a library call.
    double re[kMaxHarmonics] = {}, im[kMaxHarmonics] = {};
    double zRe = 1, zIm = 0;
    for (float v : onsets) {
        if (v > 0) {
            double pRe = zRe, pIm = zIm;
            for (int h = 0; h < harmonics; ++h) {
                re[h] += v * pRe;
                im[h] += v * pIm;
                const double next = pRe * zRe - pIm * zIm;
                pIm = pRe * zIm + pIm * zRe;
                pRe = next;
            }
        }
        const double next = zRe * turnRe - zIm * turnIm;
        zIm = zRe * turnIm + zIm * turnRe;
        zRe = next;
    }
    double score = 0;
    for (int h = 0; h < harmonics; ++h)
        score += std::hypot(re[h], im[h]);
    return score;
}

// The tempo within +-span of an estimate whose beat grid lines up best with the onsets: steps of
// `step` BPM, then of a tenth of that around the best.
double search(const std::vector<float>& onsets, double fps, double estimate, double span,
              double step) {
    double best = estimate;
    double bestScore = -1;
    auto scan = [&](double from, double to, double step) {
        for (double bpm = from; bpm <= to + 1e-9; bpm += step) {
            const double score = gridScore(onsets, 60.0 * fps / bpm, bpm);
            if (score > bestScore) {
                bestScore = score;
                best = bpm;
            }
        }
    };
    scan(estimate * (1 - span), estimate * (1 + span), step);
    const double centre = best;
    scan(centre - step, centre + step, step / 10);
    return best;
}

} // namespace

double gridTempo(const std::vector<float>& onsets, double fps, double estimate) {
    return search(onsets, fps, estimate, kFineSpan, 0.02);
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
        s.bpm = search(part, fps, bpm, kWanderSpan, kWanderStep);
        s.clarity = sum > 0 ? gridScore(part, 60 * fps / s.bpm, s.bpm) / sum : 0;
        stretches.push_back(s);
    }
    double clearest = 0;
    for (const auto& s : stretches)
        clearest = std::max(clearest, s.clarity);
    // A stretch whose best grid lies at the end of the search found no beat near the tempo there.
    const double reach = bpm * kWanderSpan - kWanderStep;
    for (auto& s : stretches)
        s.counted = s.clarity >= kLeastClarity * clearest && std::fabs(s.bpm - bpm) < reach;
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
