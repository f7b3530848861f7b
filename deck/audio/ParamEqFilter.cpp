#include "deck/audio/ParamEqFilter.h"

#include <algorithm>
#include <cmath>

namespace zen::audio {

namespace {
constexpr int kGlideStep = 16;
// One-pole glide with a time constant of about 10 ms, applied every kGlideStep frames.
double glideCoeff(double fs) {
    return 1.0 - std::exp(-kGlideStep / (0.010 * fs));
}
} // namespace

void ParamEqFilter::setSampleRate(double fs) {
    fs_ = fs;
    glideCoeff_ = glideCoeff(fs);
    if (!primed_) return;
    // The centre may now lie beyond fs / 3.
    target_.logCentre = std::log(
        static_cast<double>(clampCentre(static_cast<float>(std::exp(target_.logCentre)), fs_)));
    current_ = target_;
    z1_[0] = z1_[1] = z2_[0] = z2_[1] = 0;
    computeCoefficients();
}

float ParamEqFilter::clampCentre(float hz, double fs) {
    return std::clamp(hz, 80.0f, static_cast<float>(fs / 3.0));
}
float ParamEqFilter::clampBandwidth(float semitones) {
    return std::clamp(semitones, 1.0f, 36.0f);
}
float ParamEqFilter::clampGain(float db) {
    return std::clamp(db, -15.0f, 15.0f);
}

void ParamEqFilter::reset() {
    primed_ = false;
    z1_[0] = z1_[1] = z2_[0] = z2_[1] = 0;
}

void ParamEqFilter::set(float centreHz, float bandwidthSemitones, float gainDb) {
    // NaN from a caller must not reach the filter state.
    if (!std::isfinite(centreHz)) centreHz = 80;
    if (!std::isfinite(bandwidthSemitones)) bandwidthSemitones = 12;
    if (!std::isfinite(gainDb)) gainDb = 0;
    target_.logCentre = std::log(static_cast<double>(clampCentre(centreHz, fs_)));
    target_.bandwidth = clampBandwidth(bandwidthSemitones);
    target_.gain = clampGain(gainDb);
    if (!primed_) {
        current_ = target_;
        primed_ = true;
        computeCoefficients();
    }
}

bool ParamEqFilter::atTarget() const {
    return current_.logCentre == target_.logCentre && current_.bandwidth == target_.bandwidth &&
           current_.gain == target_.gain;
}

void ParamEqFilter::glide() {
    auto approach = [this](double& value, double target, double epsilon) {
        value += (target - value) * glideCoeff_;
        if (std::abs(target - value) < epsilon) value = target;
    };
    approach(current_.logCentre, target_.logCentre, 1e-4);
    approach(current_.bandwidth, target_.bandwidth, 1e-3);
    approach(current_.gain, target_.gain, 1e-3);
    computeCoefficients();
}

void ParamEqFilter::computeCoefficients() {
    const double w0 = 2.0 * M_PI * std::exp(current_.logCentre) / fs_;
    const double a = std::pow(10.0, current_.gain / 40.0);
    const double octaves = current_.bandwidth / 12.0;
    const double alpha =
        std::sin(w0) * std::sinh(std::log(2.0) / 2.0 * octaves * w0 / std::sin(w0));
    const double a0 = 1.0 + alpha / a;
    b0_ = (1.0 + alpha * a) / a0;
    b1_ = -2.0 * std::cos(w0) / a0;
    b2_ = (1.0 - alpha * a) / a0;
    a1_ = b1_;
    a2_ = (1.0 - alpha / a) / a0;
}

void ParamEqFilter::process(float* stereo, int frames) {
    if (!primed_) return;
    int done = 0;
    while (done < frames) {
        const bool gliding = !atTarget();
        if (!gliding && current_.gain == 0.0) {
            // Exactly flat: pass the sound through untouched. The state of an identity biquad is
            // zero, so resuming from here later is seamless.
            z1_[0] = z1_[1] = z2_[0] = z2_[1] = 0;
            return;
        }
        const int n = gliding ? std::min(kGlideStep, frames - done) : frames - done;
        if (gliding) glide();
        float* p = stereo + 2 * done;
        // Both channels in one pass: two independent recursions keep the pipeline busy.
        double l1 = z1_[0], l2 = z2_[0], r1 = z1_[1], r2 = z2_[1];
        for (int i = 0; i < n; ++i) {
            const double xl = p[2 * i], xr = p[2 * i + 1];
            const double yl = b0_ * xl + l1, yr = b0_ * xr + r1;
            l1 = b1_ * xl - a1_ * yl + l2;
            r1 = b1_ * xr - a1_ * yr + r2;
            l2 = b2_ * xl - a2_ * yl;
            r2 = b2_ * xr - a2_ * yr;
            p[2 * i] = static_cast<float>(yl);
            p[2 * i + 1] = static_cast<float>(yr);
        }
        z1_[0] = l1;
        z2_[0] = l2;
        z1_[1] = r1;
        z2_[1] = r2;
        done += n;
    }
}

} // namespace zen::audio
