#include "ToneMeasure.h"

#include <fftw3.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace zen::bench {

void writeToneWav(const std::string& path, double hz, double amplitude, double seconds) {
    SF_INFO info{};
    info.channels = 2;
    info.samplerate = kOutputRate;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    std::mt19937 random(3);
    std::uniform_real_distribution<double> lsb(-0.5, 0.5);
    const auto frames = static_cast<std::size_t>(seconds * kOutputRate);
    std::vector<short> samples(2 * frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const double v = amplitude * 32767 * std::sin(2 * M_PI * hz * double(i) / kOutputRate);
        samples[2 * i] = samples[2 * i + 1] =
            static_cast<short>(std::lround(v + lsb(random) + lsb(random)));
    }
    sf_writef_short(file, samples.data(), static_cast<sf_count_t>(frames));
    sf_close(file);
}

double worstSpurDb(const std::vector<float>& mono, double hz, double reference, double rate) {
    const int n = static_cast<int>(mono.size());
    constexpr double kBeta = 24; // sidelobes near -190 dB, main lobe about +-8 bins
    constexpr int kLobe = 12;
    std::vector<double> in(static_cast<std::size_t>(n));
    double gain = 0;
    for (int i = 0; i < n; ++i) {
        const double x = 2.0 * i / (n - 1) - 1;
        const double w =
            std::cyl_bessel_i(0.0, kBeta * std::sqrt(1 - x * x)) / std::cyl_bessel_i(0.0, kBeta);
        in[static_cast<std::size_t>(i)] = mono[static_cast<std::size_t>(i)] * w;
        gain += w;
    }
    std::vector<fftw_complex> out(static_cast<std::size_t>(n / 2 + 1));
    fftw_plan plan = fftw_plan_dft_r2c_1d(n, in.data(), out.data(), FFTW_ESTIMATE);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    const double toneBin = hz * n / rate;
    double worst = 0;
    for (int k = kLobe; k <= n / 2; ++k) {
        if (hz > 0 && std::abs(k - toneBin) <= kLobe) continue;
        const auto& c = out[static_cast<std::size_t>(k)];
        worst = std::max(worst, std::hypot(c[0], c[1]) * 2 / gain);
    }
    return 20 * std::log10(std::max(worst, 1e-12) / reference);
}

} // namespace zen::bench
