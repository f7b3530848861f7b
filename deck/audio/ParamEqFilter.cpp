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

// Both channels of a band side by side in one vector: two independent recursions per operation.
using Pair = double __attribute__((vector_size(16)));

struct ParamEqFilter::Stage {
    Pair b0, b1, b2, a1, a2;
    Pair z1, z2;
    ParamEqFilter* band;
};

bool ParamEqFilter::prepare(bool chunked) {
    if (!primed_) return false;
    const bool gliding = !atTarget();
    if (!gliding && current_.gain == 0.0) {
        // Exactly flat: pass the sound through untouched. The state of an identity biquad is
        // zero, so resuming from here later is seamless.
        z1_[0] = z1_[1] = z2_[0] = z2_[1] = 0;
        return false;
    }
    if (gliding && chunked) glide();
    return true;
}

void ParamEqFilter::processChain(ParamEqFilter* const* bands, int count, float* stereo,
                                 int frames) {
    count = std::min(count, kMaxChain);
    Stage stages[kMaxChain];
    int done = 0;
    while (done < frames) {
        // While any band glides, all go in steps of kGlideStep frames, each gliding band moving
        // on at the start of each step.
        bool gliding = false;
        for (int b = 0; b < count; ++b)
            gliding = gliding || (bands[b]->primed_ && !bands[b]->atTarget());
        const int n = gliding ? std::min(kGlideStep, frames - done) : frames - done;
        int active = 0;
        for (int b = 0; b < count; ++b) {
            ParamEqFilter& f = *bands[b];
            if (!f.prepare(gliding)) continue;
            stages[active++] = {Pair{f.b0_, f.b0_},       Pair{f.b1_, f.b1_},
                                Pair{f.b2_, f.b2_},       Pair{f.a1_, f.a1_},
                                Pair{f.a2_, f.a2_},       Pair{f.z1_[0], f.z1_[1]},
                                Pair{f.z2_[0], f.z2_[1]}, &f};
        }
        float* p = stereo + 2 * done;
        for (int i = 0; i < n && active > 0; ++i) {
            Pair x{p[2 * i], p[2 * i + 1]};
            for (int b = 0; b < active; ++b) {
                Stage& s = stages[b];
                const Pair y = s.b0 * x + s.z1;
                s.z1 = s.b1 * x - s.a1 * y + s.z2;
                s.z2 = s.b2 * x - s.a2 * y;
                x = y;
            }
            p[2 * i] = static_cast<float>(x[0]);
            p[2 * i + 1] = static_cast<float>(x[1]);
        }
        for (int b = 0; b < active; ++b) {
            ParamEqFilter& f = *stages[b].band;
            f.z1_[0] = stages[b].z1[0];
            f.z1_[1] = stages[b].z1[1];
            f.z2_[0] = stages[b].z2[0];
            f.z2_[1] = stages[b].z2[1];
        }
        done += n;
    }
}

} // namespace zen::audio
