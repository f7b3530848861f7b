#include "Synth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zen::corpus {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

// One-pole filter coefficient for a cutoff frequency.
float onePole(double hz, int rate) {
    return static_cast<float>(1 - std::exp(-kTwoPi * hz / rate));
}

} // namespace

std::uint64_t Rng::next() {
    // splitmix64: tiny, fast and the same on every platform and library.
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

Kit Kit::random(Rng& rng) {
    return {rng.uniform(45, 65),    rng.uniform(0.15, 0.45), rng.uniform(160, 240),
            rng.uniform(0.08, 0.2), rng.uniform(0.02, 0.06), rng.uniform(0.15, 0.4),
            rng.uniform(5000, 9000)};
}

double midiHz(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

Mix::Mix(int rate, double seconds, std::uint64_t seed)
    : rate_(rate), buf_(static_cast<std::size_t>(seconds * rate), 0.0f), rng_(seed) {}

float* Mix::span(double t, double len, std::size_t& count) {
    if (t < 0) t = 0;
    const auto start = static_cast<std::size_t>(t * rate_);
    if (start >= buf_.size()) {
        count = 0;
        return nullptr;
    }
    count = std::min(buf_.size() - start, static_cast<std::size_t>(len * rate_));
    return buf_.data() + start;
}

void Mix::kick(const Kit& kit, double t, float gain) {
    std::size_t n;
    float* out = span(t, kit.kickDecay * 5, n);
    double phase = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double s = static_cast<double>(i) / rate_;
        phase += kTwoPi * kit.kickHz * (1 + 3 * std::exp(-s / 0.03)) / rate_;
        const double click = s < 0.002 ? 0.3 * rng_.noise() : 0.0;
        out[i] +=
            gain * static_cast<float>((std::sin(phase) + click) * std::exp(-s / kit.kickDecay));
    }
}

void Mix::snare(const Kit& kit, double t, float gain) {
    std::size_t n;
    float* out = span(t, kit.snareDecay * 5, n);
    const float a = onePole(1500, rate_);
    float low = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double s = static_cast<double>(i) / rate_;
        const float white = rng_.noise();
        low += a * (white - low);
        const double body = 0.6 * std::sin(kTwoPi * kit.snareHz * s) * std::exp(-s / 0.05);
        const double rattle = 0.7 * (white - low) * std::exp(-s / kit.snareDecay);
        out[i] += gain * static_cast<float>(body + rattle);
    }
}

void Mix::clap(const Kit& kit, double t, float gain) {
    for (int burst = 0; burst < 3; ++burst) {
        std::size_t n;
        const double len = burst == 2 ? kit.snareDecay * 3 : 0.012;
        float* out = span(t + burst * 0.011, len, n);
        const float a = onePole(1200, rate_);
        float low = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double s = static_cast<double>(i) / rate_;
            const float white = rng_.noise();
            low += a * (white - low);
            const double decay = burst == 2 ? kit.snareDecay * 0.6 : 0.004;
            out[i] += gain * 0.8f * static_cast<float>((white - low) * std::exp(-s / decay));
        }
    }
}

void Mix::rim(double t, float gain) {
    std::size_t n;
    float* out = span(t, 0.05, n);
    for (std::size_t i = 0; i < n; ++i) {
        const double s = static_cast<double>(i) / rate_;
        out[i] += gain * static_cast<float>((std::sin(kTwoPi * 1700 * s) + 0.4 * rng_.noise()) *
                                            std::exp(-s / 0.008));
    }
}

void Mix::hat(const Kit& kit, double t, float gain, bool open) {
    const double decay = open ? kit.openHatDecay : kit.hatDecay;
    std::size_t n;
    float* out = span(t, decay * 5, n);
    const float a = onePole(kit.cutoff, rate_);
    float low = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double s = static_cast<double>(i) / rate_;
        const float white = rng_.noise();
        low += a * (white - low);
        out[i] += gain * 0.5f * static_cast<float>((white - low) * std::exp(-s / decay));
    }
}

void Mix::tom(double t, float gain, double hz) {
    std::size_t n;
    float* out = span(t, 0.6, n);
    double phase = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double s = static_cast<double>(i) / rate_;
        phase += kTwoPi * hz * (1 + 0.5 * std::exp(-s / 0.05)) / rate_;
        out[i] += gain * static_cast<float>(std::sin(phase) * std::exp(-s / 0.15));
    }
}

void Mix::crash(double t, float gain) {
    std::size_t n;
    float* out = span(t, 3.0, n);
    const float a = onePole(4000, rate_);
    float low = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double s = static_cast<double>(i) / rate_;
        const float white = rng_.noise();
        low += a * (white - low);
        out[i] += gain * 0.4f * static_cast<float>((white - low) * std::exp(-s / 0.9));
    }
}

void Mix::cowbell(double t, float gain) {
    std::size_t n;
    float* out = span(t, 0.3, n);
    const float a = onePole(400, rate_);
    float low = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double s = static_cast<double>(i) / rate_;
        const float square = (std::sin(kTwoPi * 587 * s) > 0 ? 0.5f : -0.5f) +
                             (std::sin(kTwoPi * 845 * s) > 0 ? 0.5f : -0.5f);
        low += a * (square - low);
        out[i] += gain * 0.5f * static_cast<float>((square - low) * std::exp(-s / 0.06));
    }
}

void Mix::conga(double t, float gain, double hz) {
    std::size_t n;
    float* out = span(t, 0.4, n);
    double phase = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double s = static_cast<double>(i) / rate_;
        phase += kTwoPi * hz * (1 + 0.15 * std::exp(-s / 0.01)) / rate_;
        const double slap = s < 0.004 ? 0.5 * rng_.noise() : 0.0;
        out[i] += gain * static_cast<float>((std::sin(phase) + slap) * std::exp(-s / 0.07));
    }
}

void Mix::bass(double t, double len, int note, float gain, double cutoff, bool plucked) {
    std::size_t n;
    float* out = span(t, len + 0.02, n);
    const double hz = midiHz(note);
    float a = onePole(cutoff, rate_);
    float low = 0;
    double phase = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double s = static_cast<double>(i) / rate_;
        phase += hz / rate_;
        const auto saw = static_cast<float>(2 * (phase - std::floor(phase)) - 1);
        if (plucked) a = onePole(cutoff * (1 + 4 * std::exp(-s / 0.03)), rate_);
        low += a * (saw - low);
        double env = std::min(1.0, s / 0.005) * (s > len ? std::exp(-(s - len) / 0.005) : 1);
        if (plucked) env *= 0.4 + 0.6 * std::exp(-s / 0.12);
        out[i] += gain * static_cast<float>(low * env);
    }
}

void Mix::pad(double t, double len, const std::vector<int>& notes, float gain) {
    std::size_t n;
    float* out = span(t, len + 0.6, n);
    const float a = onePole(1200, rate_);
    std::vector<double> phases(notes.size() * 2, 0.0);
    std::vector<double> steps(phases.size());
    for (std::size_t v = 0; v < steps.size(); ++v)
        steps[v] = midiHz(notes[v / 2]) * (v % 2 ? 1.004 : 0.996) / rate_;
    float low = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double s = static_cast<double>(i) / rate_;
        float sum = 0;
        for (std::size_t v = 0; v < phases.size(); ++v) {
            phases[v] += steps[v];
            sum += static_cast<float>(2 * (phases[v] - std::floor(phases[v])) - 1);
        }
        low += a * (sum - low);
        const double env = std::min(1.0, s / 0.4) * (s > len ? std::exp(-(s - len) / 0.15) : 1);
        out[i] += gain * 0.3f * static_cast<float>(low * env);
    }
}

void Mix::stab(double t, double len, const std::vector<int>& notes, float gain) {
    std::size_t n;
    float* out = span(t, len * 4, n);
    const float a = onePole(600, rate_);
    float low = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double s = static_cast<double>(i) / rate_;
        float sum = 0;
        for (int note : notes)
            sum += std::sin(kTwoPi * midiHz(note) * s) > 0 ? 0.3f : -0.3f;
        low += a * (sum - low);
        out[i] += gain * static_cast<float>((sum - low) * std::exp(-s / len));
    }
}

void Mix::shaker(double t, float gain, double attack) {
    std::size_t n;
    float* out = span(t, attack + 0.3, n);
    const float a = onePole(2000, rate_), b = onePole(11000, rate_);
    float low = 0, smooth = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double s = static_cast<double>(i) / rate_;
        const float white = rng_.noise();
        low += a * (white - low);
        smooth += b * (white - smooth);
        const double env = s < attack ? s / attack : std::exp(-(s - attack) / 0.05);
        out[i] += gain * 0.6f * static_cast<float>((smooth - low) * env);
    }
}

void Mix::keys(double t, const std::vector<int>& notes, float gain) {
    // Each chord's tone is rendered once: a part of dense keys strikes the same few chords often.
    std::vector<float>& tone = keyTones_[notes];
    if (tone.empty()) {
        tone.resize(static_cast<std::size_t>(1.0 * rate_));
        for (std::size_t i = 0; i < tone.size(); ++i) {
            const double s = static_cast<double>(i) / rate_;
            double sum = 0;
            for (int note : notes)
                for (int h = 1; h <= 6; ++h)
                    sum += std::sin(kTwoPi * midiHz(note) * h * s) *
                           std::exp(-s * (2.0 + 1.5 * h)) / h;
            tone[i] = static_cast<float>(sum * std::min(1.0, s / 0.002));
        }
    }
    std::size_t n;
    float* out = span(t, 1.0, n);
    const auto thump = static_cast<std::size_t>(0.003 * rate_);
    for (std::size_t i = 0; i < n && i < tone.size(); ++i)
        out[i] += gain * 0.25f * (tone[i] + (i < thump ? 0.2f * rng_.noise() : 0.0f));
}

void Mix::guitar(double t, double len, int note, float gain) {
    std::size_t n;
    float* out = span(t, len + 0.03, n);
    const double root = midiHz(note), fifth = root * 1.4983;
    const float a = onePole(4500, rate_); // the cabinet's top
    float low = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double s = static_cast<double>(i) / rate_;
        const double saw = 2 * (root * s - std::floor(root * s)) - 1 +
                           2 * (fifth * s - std::floor(fifth * s)) - 1 +
                           2 * (root * 2.003 * s - std::floor(root * 2.003 * s)) - 1;
        low += a * (static_cast<float>(std::tanh(4 * saw)) - low);
        const double env = std::min(1.0, s / 0.002) * std::exp(-s / (len * 2)) *
                           (s > len ? std::exp(-(s - len) / 0.01) : 1);
        out[i] += gain * 0.3f * static_cast<float>(low * env);
    }
}

void Mix::room(float wet) {
    // Four parallel feedback combs into two all-passes: the classic small-room reverb.
    const double combMs[] = {29.7, 37.1, 41.1, 43.7}, allPassMs[] = {5.0, 1.7};
    std::vector<float> reverb(buf_.size(), 0.0f), comb(buf_.size());
    for (double ms : combMs) {
        const auto delay = static_cast<std::size_t>(ms * rate_ / 1000);
        std::fill(comb.begin(), comb.end(), 0.0f);
        for (std::size_t i = delay; i < comb.size(); ++i) {
            comb[i] = buf_[i - delay] + 0.8f * comb[i - delay];
            reverb[i] += 0.25f * comb[i];
        }
    }
    for (double ms : allPassMs) {
        const auto delay = static_cast<std::size_t>(ms * rate_ / 1000);
        const std::vector<float> in = reverb;
        for (std::size_t i = delay; i < reverb.size(); ++i)
            reverb[i] = -0.7f * in[i] + in[i - delay] + 0.7f * reverb[i - delay];
    }
    for (std::size_t i = 0; i < buf_.size(); ++i)
        buf_[i] = (1 - wet) * buf_[i] + wet * 0.5f * reverb[i];
}

void Mix::compress(double thresholdDb, double ratio, double attack, double release) {
    normalise(1.0f);
    const double threshold = std::pow(10.0, thresholdDb / 20);
    const double up = 1 - std::exp(-1 / (attack * rate_)),
                 down = 1 - std::exp(-1 / (release * rate_));
    double level = 0;
    for (float& s : buf_) {
        const double x = std::fabs(s);
        level += (x > level ? up : down) * (x - level);
        if (level > threshold) s *= static_cast<float>(std::pow(level / threshold, 1 / ratio - 1));
    }
}

void Mix::lowPass(double hz) {
    // Two poles, so the top falls off as a worn tape or a small speaker's does.
    const float a = onePole(hz, rate_);
    float first = 0, second = 0;
    for (float& s : buf_) {
        first += a * (s - first);
        second += a * (first - second);
        s = second;
    }
}

void Mix::noiseBed(float gain) {
    float b0 = 0, b1 = 0, b2 = 0;
    for (float& s : buf_) {
        const float white = rng_.noise();
        b0 = 0.99765f * b0 + white * 0.0990460f;
        b1 = 0.96300f * b1 + white * 0.2965164f;
        b2 = 0.57000f * b2 + white * 1.0526913f;
        s += gain * 0.25f * (b0 + b1 + b2 + white * 0.1848f);
    }
}

void Mix::normalise(float peak) {
    float max = 0;
    for (float s : buf_)
        max = std::max(max, std::fabs(s));
    if (max > 0)
        for (float& s : buf_)
            s *= peak / max;
}

} // namespace zen::corpus
