#include "TempoChange.h"

#include "Correlation.h"

#include <algorithm>
#include <cmath>

namespace zen::audio {

namespace {

// The rhythm is compared in stretches of about 7.5 s, as BeatGrid follows a wandering tempo, over
// lags up to 3 s (a bar or two), from 80 ms (past the onsets' own width).
constexpr double kStretchSeconds = 7.5;
constexpr double kLongestLagSeconds = 3;
constexpr double kShortestLagSeconds = 0.08;
// A section holds at least two stretches (15 s).
constexpr std::size_t kLeastStretches = 2;
// Tempo ratios searched, in 1 % steps and then 0.1 % around the best.
constexpr double kFarthestRatio = 1.43;
constexpr double kCoarseRatioStep = 1.01;
constexpr double kFineRatioStep = 1.001;
// A change is at least 1 % and matches the rhythm before it at least this much better (in
// correlation) than the rhythm left as it is.
constexpr double kLeastChange = 0.01;
constexpr double kLeastGain = 0.1;

// The correlation of the rhythm before with the rhythm after, its lags stretched by ratio.
double match(const std::vector<double>& before, const std::vector<double>& after, double ratio,
             double shortest) {
    const double longest = static_cast<double>(before.size() - 1) / std::max(1.0, ratio);
    double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0, n = 0;
    for (double lag = shortest; lag <= longest; lag += 1) {
        const double x = atLag(before, lag), y = atLag(after, lag * ratio);
        sx += x;
        sy += y;
        sxx += x * x;
        syy += y * y;
        sxy += x * y;
        n += 1;
    }
    const double vx = sxx - sx * sx / n, vy = syy - sy * sy / n;
    return vx > 0 && vy > 0 ? (sxy - sx * sy / n) / std::sqrt(vx * vy) : 0;
}

// The mean of the stretches' autocorrelations from..to.
std::vector<double> meanOf(const std::vector<std::vector<double>>& acfs, std::size_t from,
                           std::size_t to) {
    std::vector<double> mean(acfs.front().size(), 0.0);
    for (std::size_t k = from; k < to; ++k)
        for (std::size_t lag = 0; lag < mean.size(); ++lag)
            mean[lag] += acfs[k][lag] / static_cast<double>(to - from);
    return mean;
}

} // namespace

std::optional<Split> tempoChange(const std::vector<float>& onsets, double fps) {
    const std::size_t n = onsets.size();
    const auto count = static_cast<std::size_t>(static_cast<double>(n) / (kStretchSeconds * fps));
    // Two sections of two stretches, and one stretch of each left out around the place.
    if (count < 2 * kLeastStretches + 2) return std::nullopt;
    const std::size_t size = n / count;
    const auto longestLag = std::min(size / 2, static_cast<std::size_t>(kLongestLagSeconds * fps));
    Correlation correlation(size, longestLag);
    std::vector<std::vector<double>> acfs;
    for (std::size_t k = 0; k < count; ++k) {
        const std::vector<float> part(onsets.begin() + static_cast<long>(k * size),
                                      onsets.begin() + static_cast<long>((k + 1) * size));
        acfs.push_back(correlation.autocorrelation(correlation.spectrum(part)));
    }
    const double shortest = kShortestLagSeconds * fps;
    std::optional<Split> best;
    double bestGain = kLeastGain;
    for (std::size_t place = kLeastStretches + 1; place + kLeastStretches + 1 <= count; ++place) {
        // The stretches on either side of the place are left out of both sections.
        const auto before = meanOf(acfs, 0, place - 1);
        const auto after = meanOf(acfs, place + 1, count);
        const double unstretched = match(before, after, 1, shortest);
        double bestRatio = 1, bestMatch = unstretched;
        for (double ratio = 1 / kFarthestRatio; ratio <= kFarthestRatio; ratio *= kCoarseRatioStep)
            if (const double m = match(before, after, ratio, shortest); m > bestMatch) {
                bestMatch = m;
                bestRatio = ratio;
            }
        const double centre = bestRatio;
        for (double ratio = centre / kCoarseRatioStep; ratio <= centre * kCoarseRatioStep;
             ratio *= kFineRatioStep)
            if (const double m = match(before, after, ratio, shortest); m > bestMatch) {
                bestMatch = m;
                bestRatio = ratio;
            }
        if (std::fabs(bestRatio - 1) >= kLeastChange && bestMatch - unstretched > bestGain) {
            bestGain = bestMatch - unstretched;
            best = Split{(place - 1) * size, (place + 1) * size};
        }
    }
    return best;
}

} // namespace zen::audio
