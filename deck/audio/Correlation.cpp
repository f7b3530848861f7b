#include "Correlation.h"

#include <algorithm>
#include <cmath>
#include <fftw3.h>

namespace zen::audio {

Correlation::Correlation(std::size_t length, std::size_t maxLag) : n_(length), maxLag_(maxLag) {
    // Zero padding of maxLag keeps the circular correlation from wrapping into those lags, on
    // either side.
    while (size_ < n_ + maxLag_)
        size_ *= 2;
    buf_ = fftwf_alloc_real(size_);
    transform_ = reinterpret_cast<std::complex<float>*>(fftwf_alloc_complex(size_ / 2 + 1));
    auto* complex = reinterpret_cast<fftwf_complex*>(transform_);
    forward_ = fftwf_plan_dft_r2c_1d(static_cast<int>(size_), buf_, complex, FFTW_ESTIMATE);
    backward_ = fftwf_plan_dft_c2r_1d(static_cast<int>(size_), complex, buf_, FFTW_ESTIMATE);
}

Correlation::~Correlation() {
    fftwf_destroy_plan(backward_);
    fftwf_destroy_plan(forward_);
    fftwf_free(transform_);
    fftwf_free(buf_);
}

Correlation::Spectrum Correlation::spectrum(const std::vector<float>& x) {
    double mean = 0;
    for (std::size_t i = 0; i < n_; ++i)
        mean += x[i];
    mean /= static_cast<double>(n_);
    for (std::size_t i = 0; i < size_; ++i)
        buf_[i] = i < n_ ? static_cast<float>(x[i] - mean) : 0.0f;
    fftwf_execute(forward_);
    return Spectrum(transform_, transform_ + size_ / 2 + 1);
}

void Correlation::backward(const Spectrum& product) {
    std::copy(product.begin(), product.end(), transform_);
    fftwf_execute(backward_);
}

double Correlation::at(long lag) const {
    const auto index =
        lag >= 0 ? static_cast<std::size_t>(lag) : size_ - static_cast<std::size_t>(-lag);
    return buf_[index] / static_cast<double>(n_ - static_cast<std::size_t>(std::labs(lag)));
}

std::vector<double> Correlation::autocorrelation(const Spectrum& x) {
    Spectrum power(x.size());
    for (std::size_t k = 0; k < x.size(); ++k)
        power[k] = std::norm(x[k]);
    backward(power);
    std::vector<double> acf(maxLag_ + 1, 0.0);
    const double zero = at(0);
    if (zero > 0)
        for (std::size_t lag = 0; lag <= maxLag_; ++lag)
            acf[lag] = at(static_cast<long>(lag)) / zero;
    return acf;
}

std::vector<double> Correlation::crossCorrelation(const Spectrum& x, const Spectrum& y) {
    double energyX = 0, energyY = 0;
    Spectrum product(x.size());
    for (std::size_t k = 0; k < x.size(); ++k) {
        // Parseval, each bin but the first and the last counting twice in a real signal's
        // half-spectrum.
        const double twice = k == 0 || k + 1 == x.size() ? 1 : 2;
        energyX += twice * std::norm(x[k]);
        energyY += twice * std::norm(y[k]);
        product[k] = std::conj(x[k]) * y[k];
    }
    backward(product);
    std::vector<double> xcf(2 * maxLag_ + 1, 0.0);
    // The transforms' energies are size_ times the signals', as at() is: per frame, as at() gives.
    const double scale = std::sqrt(energyX * energyY) / static_cast<double>(n_);
    if (scale > 0)
        for (std::size_t i = 0; i < xcf.size(); ++i)
            xcf[i] = at(static_cast<long>(i) - static_cast<long>(maxLag_)) / scale;
    return xcf;
}

double atLag(const std::vector<double>& correlation, double lag) {
    const auto i = static_cast<std::size_t>(lag);
    if (i + 1 >= correlation.size()) return correlation.back();
    const double f = lag - static_cast<double>(i);
    return correlation[i] * (1 - f) + correlation[i + 1] * f;
}

} // namespace zen::audio
