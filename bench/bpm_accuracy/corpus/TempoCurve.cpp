#include "TempoCurve.h"

#include "Synth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zen::corpus {

namespace {
constexpr double kStep = 0.001; // the tempo is integrated in millisecond steps
constexpr double kTwoPi = 2 * std::numbers::pi;
} // namespace

TempoCurve::TempoCurve(double bpm, double amplitude, double offset, double seconds,
                       std::uint64_t seed) {
    Rng rng(seed);
    // Swings of 15 to 60 s and a drift across the whole piece in random proportions; their sum
    // reaches the full amplitude at its peak.
    const double period1 = rng.uniform(15, 35), period2 = rng.uniform(35, 60);
    const double phase1 = rng.uniform(0, kTwoPi), phase2 = rng.uniform(0, kTwoPi);
    const double w1 = rng.uniform(0.2, 1), w2 = rng.uniform(0, 1), drift = rng.uniform(-1, 1);
    const auto steps = static_cast<std::size_t>(seconds / kStep) + 2;
    std::vector<double> shape(steps);
    double peak = 0;
    for (std::size_t i = 0; i < steps; ++i) {
        const double t = static_cast<double>(i) * kStep;
        shape[i] = w1 * std::sin(kTwoPi * t / period1 + phase1) +
                   w2 * std::sin(kTwoPi * t / period2 + phase2) + drift * (2 * t / seconds - 1);
        peak = std::max(peak, std::fabs(shape[i]));
    }
    beats_.assign(steps, 0.0);
    for (std::size_t i = 1; i < steps; ++i) {
        const double mid = (shape[i - 1] + shape[i]) / 2;
        beats_[i] = beats_[i - 1] + bpm * (1 + amplitude * mid / peak) / 60 * kStep;
    }
    offsetBeats_ = beatsAt(offset);
}

TempoCurve TempoCurve::stepped(double bpm, double laterBpm, double changeAt, double offset,
                               double seconds) {
    TempoCurve curve;
    const auto steps = static_cast<std::size_t>(seconds / kStep) + 2;
    curve.beats_.assign(steps, 0.0);
    for (std::size_t i = 1; i < steps; ++i) {
        // The share of the step before the change goes at the first tempo.
        const double before = std::clamp(changeAt - static_cast<double>(i - 1) * kStep, 0.0, kStep);
        curve.beats_[i] = curve.beats_[i - 1] + (bpm * before + laterBpm * (kStep - before)) / 60;
    }
    curve.offsetBeats_ = curve.beatsAt(offset);
    return curve;
}

double TempoCurve::beatsAt(double seconds) const {
    const double at = std::clamp(seconds / kStep, 0.0, static_cast<double>(beats_.size() - 1));
    const auto i = std::min(static_cast<std::size_t>(at), beats_.size() - 2);
    return beats_[i] + (at - static_cast<double>(i)) * (beats_[i + 1] - beats_[i]);
}

double TempoCurve::timeOf(double beats) const {
    const double target = offsetBeats_ + beats;
    const auto it = std::lower_bound(beats_.begin(), beats_.end(), target);
    if (it == beats_.begin()) return 0;
    // Past the end: a time no sample holds, so nothing is heard.
    if (it == beats_.end()) return static_cast<double>(beats_.size()) * kStep;
    const auto i = static_cast<std::size_t>(it - beats_.begin());
    const double f = (target - beats_[i - 1]) / (beats_[i] - beats_[i - 1]);
    return (static_cast<double>(i - 1) + f) * kStep;
}

double TempoCurve::meanBpm(double from, double to) const {
    return (beatsAt(to) - beatsAt(from)) * 60 / (to - from);
}

} // namespace zen::corpus
