#include "TempoDetector.h"

#include "BeatGrid.h"
#include "MetricalLevel.h"
#include "OnsetEnvelope.h"

#include <algorithm>
#include <cmath>
#include <fftw3.h>
#include <vector>

namespace zen::audio {

namespace {

// Below this peak (about -80 dBFS) the input counts as silence.
constexpr float kSilentPeak = 1e-4f;
// Less than this much audio holds too few beats to tell a tempo.
constexpr double kShortestSeconds = 3.0;
// Onsets weaker than this on average (in band-normalised units) are no rhythm: a held tone whose
// bands hardly move.
constexpr double kLeastOnsetStrength = 0.3;
// The best metrical score, in units of the autocorrelation's scatter for noise, that a beat must
// reach (see hasRhythm).
constexpr double kLeastBeatSignificance = 2.5;
constexpr double kCoarseStep = 1.001; // candidate tempos 0.1 % apart
// The tempos searched at most, whatever range is asked for.
constexpr float kSlowestBpm = 20;
constexpr float kFastestBpm = 400;
// The kick and the bass play below kLowTopHz; below kKickTopHz mostly the kick's body.
constexpr double kLowTopHz = 150;
constexpr double kKickTopHz = 90;

// Spreads each onset over +-20 ms, so that a drummer's hits off the grid still line up with each
// other in the autocorrelation.
std::vector<float> smoothed(const std::vector<float>& env) {
    constexpr float kernel[] = {1, 2, 3, 2, 1};
    std::vector<float> out(env.size(), 0.0f);
    for (std::size_t t = 0; t < env.size(); ++t)
        for (std::size_t k = 0; k < 5; ++k)
            if (t + k >= 2 && t + k - 2 < env.size()) out[t] += kernel[k] * env[t + k - 2] / 9;
    return out;
}

// Removes the slowly varying part of the envelope (a local mean over a second) and keeps what
// rises above it, so that held sounds and swells do not count as rhythm.
std::vector<float> rhythmicPart(const std::vector<float>& env, double fps) {
    const std::size_t n = env.size();
    const std::size_t half = static_cast<std::size_t>(fps / 2);
    std::vector<double> prefix(n + 1, 0.0);
    for (std::size_t t = 0; t < n; ++t)
        prefix[t + 1] = prefix[t] + env[t];
    std::vector<float> out(n);
    for (std::size_t t = 0; t < n; ++t) {
        const std::size_t lo = t > half ? t - half : 0;
        const std::size_t hi = std::min(n, t + half + 1);
        const double mean = (prefix[hi] - prefix[lo]) / static_cast<double>(hi - lo);
        out[t] = std::max(0.0f, env[t] - static_cast<float>(mean));
    }
    return out;
}

// Autocorrelations of mean-free signals of one length for lags 0..maxLag, unbiased and scaled so
// lag 0 is 1, all through one FFT plan.
class Autocorrelation {
public:
    Autocorrelation(std::size_t length, std::size_t maxLag) : n_(length), maxLag_(maxLag) {
        // Zero padding of maxLag keeps the circular correlation from wrapping into those lags.
        while (size_ < n_ + maxLag_)
            size_ *= 2;
        buf_ = fftwf_alloc_real(size_);
        spectrum_ = fftwf_alloc_complex(size_ / 2 + 1);
        forward_ = fftwf_plan_dft_r2c_1d(static_cast<int>(size_), buf_, spectrum_, FFTW_ESTIMATE);
        backward_ = fftwf_plan_dft_c2r_1d(static_cast<int>(size_), spectrum_, buf_, FFTW_ESTIMATE);
    }
    ~Autocorrelation() {
        fftwf_destroy_plan(backward_);
        fftwf_destroy_plan(forward_);
        fftwf_free(spectrum_);
        fftwf_free(buf_);
    }
    Autocorrelation(const Autocorrelation&) = delete;
    Autocorrelation& operator=(const Autocorrelation&) = delete;

    std::vector<double> operator()(const std::vector<float>& x) {
        double mean = 0;
        for (float v : x)
            mean += v;
        mean /= static_cast<double>(n_);
        for (std::size_t i = 0; i < size_; ++i)
            buf_[i] = i < n_ ? static_cast<float>(x[i] - mean) : 0.0f;
        fftwf_execute(forward_);
        for (std::size_t k = 0; k <= size_ / 2; ++k) {
            spectrum_[k][0] = spectrum_[k][0] * spectrum_[k][0] + spectrum_[k][1] * spectrum_[k][1];
            spectrum_[k][1] = 0;
        }
        fftwf_execute(backward_);
        std::vector<double> acf(maxLag_ + 1, 0.0);
        const double zero = buf_[0] / static_cast<double>(n_);
        if (zero > 0)
            for (std::size_t lag = 0; lag <= maxLag_; ++lag)
                acf[lag] = buf_[lag] / static_cast<double>(n_ - lag) / zero;
        return acf;
    }

private:
    std::size_t n_, maxLag_;
    std::size_t size_ = 1;
    float* buf_;
    fftwf_complex* spectrum_;
    fftwf_plan forward_, backward_;
};

// Whether the onsets hold a beat at all, rather than noise or a steady sound. The autocorrelation
// of n frames of noise scatters by about 1/sqrt(n) at every lag, so the best score is measured in
// that unit: noise reaches about 2 at most, drum-led music 4 and more even under loud noise.
bool hasRhythm(const std::vector<float>& onsets, double bestScore) {
    double strength = 0;
    for (float v : onsets)
        strength += v;
    const auto n = static_cast<double>(onsets.size());
    return strength / n >= kLeastOnsetStrength &&
           bestScore * std::sqrt(n) >= kLeastBeatSignificance;
}

} // namespace

struct TempoDetector::Impl {
    explicit Impl(int sampleRate) : envelope(sampleRate) {}
    OnsetEnvelope envelope;
};

TempoDetector::TempoDetector(int sampleRate) : impl_(std::make_unique<Impl>(sampleRate)) {}

TempoDetector::~TempoDetector() = default;

void TempoDetector::addMono(const float* samples, std::size_t count) {
    impl_->envelope.add(samples, count);
}

float TempoDetector::finish(float minBpm, float maxBpm) {
    if (!(minBpm > 0) || !(maxBpm >= minBpm)) return 0;
    // The envelope's 10 ms frames resolve the sixteenths of tempos up to a few hundred BPM; the
    // bars of tempos below a few dozen BPM outlast any stretch worth analysing.
    minBpm = std::max(minBpm, kSlowestBpm);
    maxBpm = std::min(maxBpm, kFastestBpm);
    if (minBpm > maxBpm) return 0;
    const double fps = impl_->envelope.framesPerSecond();
    const std::vector<float> env = impl_->envelope.envelope();
    if (impl_->envelope.peak() < kSilentPeak ||
        static_cast<double>(env.size()) < kShortestSeconds * fps)
        return 0;

    const std::vector<float> onsets = rhythmicPart(env, fps);
    const double slowestBeatLag = 60.0 * fps / minBpm;
    const auto maxLag =
        std::min(env.size() / 2, static_cast<std::size_t>(std::ceil(slowestBeatLag * 8)) + 2);
    // Beside the onsets of all bands, the loud rises where the kick and the bass play, and the
    // noise bursts of a snare or a clap, each spread over +-20 ms so that hits played off the
    // grid still line up in its autocorrelation.
    const OnsetEnvelope& e = impl_->envelope;
    Autocorrelation autocorrelation(env.size(), maxLag);
    Periodicities p;
    p.framesPerSecond = fps;
    p.all = autocorrelation(onsets);
    p.low = autocorrelation(rhythmicPart(smoothed(e.loudRises(0, kLowTopHz)), fps));
    p.kick = autocorrelation(rhythmicPart(smoothed(e.loudRises(0, kKickTopHz)), fps));
    p.snare = autocorrelation(rhythmicPart(smoothed(e.noiseBursts()), fps));

    std::vector<double> tempos;
    std::vector<double> scores;
    for (double bpm = minBpm; bpm <= maxBpm; bpm *= kCoarseStep) {
        tempos.push_back(bpm);
        scores.push_back(metricalScore(p, bpm));
    }
    if (scores.empty() || !hasRhythm(onsets, *std::max_element(scores.begin(), scores.end())))
        return 0;

    // Peaks of the metrical score, best first. The beat level is chosen among them and refined on
    // the beat grid, then to its mean if it wanders; should its grid tempo fall outside the range,
    // the peaks are tried in turn, and the first whose grid tempo lies inside the range wins. A
    // peak at an end of the range, or one whose grid tempo lies just outside it, belongs to a
    // tempo outside the range, and the range's edge would be a made-up value.
    std::vector<std::pair<double, double>> peaks; // score, tempo
    for (std::size_t i = 1; i + 1 < scores.size(); ++i)
        if (scores[i] > scores[i - 1] && scores[i] >= scores[i + 1])
            peaks.emplace_back(scores[i], tempos[i]);
    std::sort(peaks.begin(), peaks.end(), std::greater<>());
    std::vector<double> candidates;
    for (const auto& peak : peaks)
        candidates.push_back(peak.second);
    candidates.insert(candidates.begin(), beatLevel(p, candidates, minBpm, maxBpm));
    for (double candidate : candidates) {
        const double refined = gridTempo(onsets, fps, candidate);
        if (refined < minBpm || refined > maxBpm) continue;
        const double mean = meanTempo(onsets, fps, refined);
        return static_cast<float>(mean >= minBpm && mean <= maxBpm ? mean : refined);
    }
    return 0;
}

} // namespace zen::audio
