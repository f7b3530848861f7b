#include "deck/audio/VarispeedKernels.h"

#include <cmath>
#include <numeric>

namespace zen::audio {

namespace {
// A Kaiser window of this beta holds the sidelobes 110 dB down.
constexpr double kBeta = 11.2;
// The wide kernel's cutoff, in cycles per input frame: halfway from 0.39 to 0.6.
constexpr double kWideCutoff = 0.495;
// The steep kernel's, in cycles per output frame: halfway from 0.43 to the Nyquist.
constexpr double kSteepCutoff = 0.465;

// The modified Bessel function of order 0 by its power series, which for arguments up to kBeta
// reaches double precision in under 40 terms. Through std::cyl_bessel_i the tables took 0.1 s of
// the window thread at the first voice; this way 8 ms.
double besselI0(double x) {
    const double quarter = x * x / 4;
    double term = 1, sum = 1;
    for (int k = 1; term > 1e-17 * sum; ++k) {
        term *= quarter / (static_cast<double>(k) * k);
        sum += term;
    }
    return sum;
}

// A lowpass of `cutoff` cycles per frame at `t` frames from its centre, windowed to `reach`.
double windowedSinc(double t, double cutoff, double reach) {
    if (std::abs(t) >= reach) return 0;
    const double r = t / reach;
    const double window = besselI0(kBeta * std::sqrt(1 - r * r)) / besselI0(kBeta);
    const double x = 2 * M_PI * cutoff * t;
    return 2 * cutoff * (x == 0 ? 1 : std::sin(x) / x) * window;
}
} // namespace

const VarispeedKernels& VarispeedKernels::get() {
    static const VarispeedKernels kernels;
    return kernels;
}

VarispeedKernels::VarispeedKernels() {
    constexpr int kTaps = kWideTaps;
    constexpr double kReach = kTaps / 2.0;
    std::vector<double> rows(static_cast<std::size_t>((kWidePhases + 1) * kTaps));
    for (int p = 0; p <= kWidePhases; ++p) {
        double* row = rows.data() + p * kTaps;
        const double phase = static_cast<double>(p) / kWidePhases;
        for (int n = 0; n < kTaps; ++n)
            row[n] = windowedSinc(n - (kTaps / 2 - 1) - phase, kWideCutoff, kReach);
        // Each row adds up to one, so a constant passes unchanged at every phase.
        const double sum = std::accumulate(row, row + kTaps, 0.0);
        for (int n = 0; n < kTaps; ++n)
            row[n] /= sum;
    }
    wide.resize(static_cast<std::size_t>(kWidePhases * 2 * kTaps));
    for (int p = 0; p < kWidePhases; ++p)
        for (int n = 0; n < kTaps; ++n) {
            const double here = rows[static_cast<std::size_t>(p * kTaps + n)];
            const double next = rows[static_cast<std::size_t>((p + 1) * kTaps + n)];
            wide[static_cast<std::size_t>(2 * p * kTaps + n)] = static_cast<float>(here);
            wide[static_cast<std::size_t>((2 * p + 1) * kTaps + n)] =
                static_cast<float>(next - here);
        }

    const int entries = 2 * kSteepPadded * kSteepStep + 1;
    steep.resize(static_cast<std::size_t>(2 * entries));
    auto at = [](int i) {
        return windowedSinc(static_cast<double>(i - kSteepPadded * kSteepStep) / kSteepStep,
                            kSteepCutoff, kSteepReach);
    };
    double here = at(0);
    for (int i = 0; i < entries; ++i) {
        const double next = at(i + 1);
        steep[static_cast<std::size_t>(2 * i)] = static_cast<float>(here);
        steep[static_cast<std::size_t>(2 * i + 1)] = static_cast<float>(next - here);
        here = next;
    }
}

} // namespace zen::audio
