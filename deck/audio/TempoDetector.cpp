#include "TempoDetector.h"

#include "OnsetEnvelope.h"

#include <algorithm>
#include <cmath>
#include <fftw3.h>
#include <numbers>
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
constexpr double kFineSpan = 0.01;    // the grid search covers +-1 % around the coarse tempo
// The tempos searched at most, whatever range is asked for.
constexpr float kSlowestBpm = 20;
constexpr float kFastestBpm = 400;
// A bar is where a drum pattern repeats: no other lag tells the metrical level as surely.
constexpr double kBarWeight = 8.0;

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

// Autocorrelation of the mean-free signal for lags 0..maxLag, unbiased and scaled so lag 0 is 1.
std::vector<double> autocorrelation(const std::vector<float>& x, std::size_t maxLag) {
    const std::size_t n = x.size();
    std::size_t size = 1;
    while (size < 2 * n)
        size *= 2;
    double mean = 0;
    for (float v : x)
        mean += v;
    mean /= static_cast<double>(n);

    float* buf = fftwf_alloc_real(size);
    fftwf_complex* spectrum = fftwf_alloc_complex(size / 2 + 1);
    fftwf_plan forward =
        fftwf_plan_dft_r2c_1d(static_cast<int>(size), buf, spectrum, FFTW_ESTIMATE);
    fftwf_plan backward =
        fftwf_plan_dft_c2r_1d(static_cast<int>(size), spectrum, buf, FFTW_ESTIMATE);
    for (std::size_t i = 0; i < size; ++i)
        buf[i] = i < n ? static_cast<float>(x[i] - mean) : 0.0f;
    fftwf_execute(forward);
    for (std::size_t k = 0; k <= size / 2; ++k) {
        spectrum[k][0] = spectrum[k][0] * spectrum[k][0] + spectrum[k][1] * spectrum[k][1];
        spectrum[k][1] = 0;
    }
    fftwf_execute(backward);

    std::vector<double> acf(maxLag + 1, 0.0);
    const double zero = buf[0] / static_cast<double>(n);
    if (zero > 0)
        for (std::size_t lag = 0; lag <= maxLag; ++lag)
            acf[lag] = buf[lag] / static_cast<double>(n - lag) / zero;
    fftwf_destroy_plan(backward);
    fftwf_destroy_plan(forward);
    fftwf_free(spectrum);
    fftwf_free(buf);
    return acf;
}

double interpolate(const std::vector<double>& v, double at) {
    const auto i = static_cast<std::size_t>(at);
    if (i + 1 >= v.size()) return v.back();
    const double f = at - static_cast<double>(i);
    return v[i] * (1 - f) + v[i + 1] * f;
}

// How well a tempo explains the rhythm: the autocorrelation averaged over every sixteenth-note lag
// up to two bars, beat lags counting twice and bar lags eight times. A tempo at the wrong metrical
// level puts many of its lags where nothing repeats, which pulls its average down.
double metricalScore(const std::vector<double>& acf, double beatLag) {
    double sum = 0;
    double weights = 0;
    for (int k = 1; k <= 32; ++k) {
        const double lag = beatLag * k / 4;
        if (lag >= static_cast<double>(acf.size() - 1)) break;
        const double w = k % 16 == 0 ? kBarWeight : k % 4 == 0 ? 2.0 : 1.0;
        sum += w * interpolate(acf, lag);
        weights += w;
    }
    return weights > 0 ? sum / weights : 0.0;
}

// How strongly the envelope repeats exactly every beatLag frames over its whole span: the
// magnitudes of its Fourier sums at the beat rate and its harmonics up to about sixteenth notes at
// 160 BPM, which peak when a beat grid of that period lines up with the onsets from the first to
// the last. The higher harmonics sharpen the peak, most of all for slow tempos.
double gridScore(const std::vector<float>& onsets, double beatLag, double bpm) {
    constexpr int kMaxHarmonics = 16;
    const int harmonics = std::clamp(static_cast<int>(640 / bpm), 4, kMaxHarmonics);
    const double step = -2 * std::numbers::pi / beatLag;
    const double turnRe = std::cos(step), turnIm = std::sin(step);
    // Complex arithmetic written out: std::complex's NaN-safe multiply costs a library call.
    double re[kMaxHarmonics] = {}, im[kMaxHarmonics] = {};
    double zRe = 1, zIm = 0;
    for (float v : onsets) {
        if (v > 0) {
            double pRe = zRe, pIm = zIm;
            for (int h = 0; h < harmonics; ++h) {
                re[h] += v * pRe;
                im[h] += v * pIm;
                const double next = pRe * zRe - pIm * zIm;
                pIm = pRe * zIm + pIm * zRe;
                pRe = next;
            }
        }
        const double next = zRe * turnRe - zIm * turnIm;
        zIm = zRe * turnIm + zIm * turnRe;
        zRe = next;
    }
    double score = 0;
    for (int h = 0; h < harmonics; ++h)
        score += std::hypot(re[h], im[h]);
    return score;
}

// The tempo within +-1 % of an estimate whose beat grid lines up best with the onsets: steps of
// 0.02 BPM, then of 0.002 BPM around the best.
double gridTempo(const std::vector<float>& onsets, double fps, double estimate) {
    double best = estimate;
    double bestScore = -1;
    auto search = [&](double from, double to, double step) {
        for (double bpm = from; bpm <= to + 1e-9; bpm += step) {
            const double score = gridScore(onsets, 60.0 * fps / bpm, bpm);
            if (score > bestScore) {
                bestScore = score;
                best = bpm;
            }
        }
    };
    search(estimate * (1 - kFineSpan), estimate * (1 + kFineSpan), 0.02);
    const double centre = best;
    search(centre - 0.02, centre + 0.02, 0.002);
    return best;
}

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
    const std::vector<double> acf = autocorrelation(onsets, maxLag);

    std::vector<double> tempos;
    std::vector<double> scores;
    for (double bpm = minBpm; bpm <= maxBpm; bpm *= kCoarseStep) {
        tempos.push_back(bpm);
        scores.push_back(metricalScore(acf, 60.0 * fps / bpm));
    }
    if (scores.empty() || !hasRhythm(onsets, *std::max_element(scores.begin(), scores.end())))
        return 0;

    // Peaks of the metrical score, best first. Each is refined on the beat grid; the first whose
    // grid tempo lies inside the range wins. A peak at an end of the range, or one whose grid
    // tempo lies just outside it, belongs to a tempo outside the range, and the range's edge
    // would be a made-up value.
    std::vector<std::pair<double, double>> peaks; // score, tempo
    for (std::size_t i = 1; i + 1 < scores.size(); ++i)
        if (scores[i] > scores[i - 1] && scores[i] >= scores[i + 1])
            peaks.emplace_back(scores[i], tempos[i]);
    std::sort(peaks.begin(), peaks.end(), std::greater<>());
    for (const auto& peak : peaks) {
        const double refined = gridTempo(onsets, fps, peak.second);
        if (refined >= minBpm && refined <= maxBpm) return static_cast<float>(refined);
    }
    return 0;
}

} // namespace zen::audio
