#pragma once

#include <complex>
#include <cstddef>
#include <vector>

struct fftwf_plan_s;

// Auto- and cross-correlations of signals of one length, mean-free and unbiased, up to a largest
// lag, all through one FFT plan: each signal is transformed once, then correlated with itself or
// with another.
namespace zen::audio {

class Correlation {
public:
    using Spectrum = std::vector<std::complex<float>>;

    Correlation(std::size_t length, std::size_t maxLag);
    ~Correlation();
    Correlation(const Correlation&) = delete;
    Correlation& operator=(const Correlation&) = delete;

    // The transform of a signal of the length given, its mean removed.
    Spectrum spectrum(const std::vector<float>& x);
    // Lags 0..maxLag, scaled so that lag 0 is 1 (all 0 for a constant signal).
    std::vector<double> autocorrelation(const Spectrum& x);
    // Lags -maxLag..maxLag at indices 0..2 maxLag, positive where y follows x, scaled by the
    // geometric mean of their energies.
    std::vector<double> crossCorrelation(const Spectrum& x, const Spectrum& y);

private:
    // The inverse transform of spectrum into buf_, divided at each lag by the frames it overlaps.
    void backward(const Spectrum& product);
    double at(long lag) const;

    std::size_t n_, maxLag_;
    std::size_t size_ = 1;
    float* buf_;
    std::complex<float>* transform_;
    fftwf_plan_s* forward_;
    fftwf_plan_s* backward_;
};

// A correlation between two of its lags, read linearly; past its last lag, the last value.
double atLag(const std::vector<double>& correlation, double lag);

} // namespace zen::audio
