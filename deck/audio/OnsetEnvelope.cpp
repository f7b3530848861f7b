#include "OnsetEnvelope.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <fftw3.h>
#include <limits>
#include <mutex>
#include <numbers>

namespace zen::audio {

namespace {

// Band edges in Hz, about two thirds of an octave apart, so the kick, the snare body, the snare and
// clap noise and the cymbals each own bands of their own.
constexpr std::array<double, 13> kBandEdgesHz = {30,   90,   150,  250,  400,   630,  1000,
                                                 1600, 2500, 4000, 6300, 10000, 16000};

// Third-octave bands across a snare's and a clap's noise. A noise burst fills every one of them; a
// hi-hat barely reaches the lower ones, and the partials of a chord or a cowbell leave gaps.
constexpr std::array<double, 9> kNoiseEdgesHz = {1600, 2000, 2500, 3150, 4000,
                                                 5000, 6300, 8000, 10000};
// A drum's noise still stands this many frames (20 ms) after its rise; a click has gone.
constexpr std::size_t kSustainFrames = 2;

// Chords, a bass line's overtones and the notes of keys and guitars lie here; the kick's body
// below, cymbals above.
constexpr double kHarmonyLoHz = 100;
constexpr double kHarmonyHiHz = 1600;
// Sounds shorter than this many frames (150 ms) are drums, not harmony.
constexpr std::size_t kDrumFrames = 15;
// The harmony before and after each frame is compared over this many frames (100 ms) each side.
constexpr std::size_t kChangeFrames = 10;
// Harmony counts from this fraction of its mean power up (-40 dB), so that a fade adds no change.
constexpr double kHarmonyFloor = 1e-4;
// The harmony's frames out of the opening are kept in chunks of this many (10 s): an array grown
// to the whole would be moved as it grows and leave its old copies in the heap.
constexpr std::size_t kChunkFrames = 1000;

// The harmony's loops run over a whole number of blocks of this many bins, each block written out
// as so many steps, which the compiler turns into vector instructions; its opening's loops too.
constexpr std::size_t kBlock = RunningOpening::kBlock;

// Root mean square of a band's log-power rises (in nepers) below which the band counts as steady.
constexpr double kLeastRiseRms = 0.1;
// Band power counts from this fraction of the track's mean frame power up (-50 dB).
constexpr double kRelativeFloor = 1e-5;

// The natural logarithm of a positive normal number within 2e-5: the exponent from its bits and
// the mantissa's logarithm from a polynomial fitted on [1, 2). Several times faster than std::log
// for the few thousand bins a second of the harmony's levels.
float quickLog(float x) {
    const auto bits = std::bit_cast<std::uint32_t>(x);
    const auto exponent = static_cast<float>(static_cast<int>(bits >> 23) - 127);
    const float m = std::bit_cast<float>((bits & 0x007fffffu) | 0x3f800000u) - 1.0f;
    const float log2Mantissa =
        m * (1.4418259f +
             m * (-0.70868292f + m * (0.41542472f + m * (-0.19442637f + m * 0.045887220f))));
    return (exponent + log2Mantissa) * std::numbers::ln2_v<float>;
}

int powerOfTwoAtLeast(double n) {
    int p = 1;
    while (p < n)
        p *= 2;
    return p;
}

// FFT bin edges for band edges in Hz, dropping bands that would hold no bin.
template <std::size_t N>
std::vector<std::size_t> binEdges(const std::array<double, N>& hz, int frameSize, int rate,
                                  std::vector<double>* keptHz = nullptr) {
    std::vector<std::size_t> edges;
    for (double edge : hz) {
        const auto bin = static_cast<std::size_t>(
            std::clamp(static_cast<int>(std::lround(edge * frameSize / rate)), 1, frameSize / 2));
        if (edges.empty() || bin > edges.back()) {
            edges.push_back(bin);
            if (keptHz) keptHz->push_back(edge);
        }
    }
    return edges;
}

} // namespace

OnsetEnvelope::OnsetEnvelope(int sampleRate) {
    // FFTW's planner is not thread-safe, and the engine plans FFTs of its own: make it safe before
    // the first plan here, whichever thread the detection runs on.
    static std::once_flag threadSafePlanner;
    std::call_once(threadSafePlanner, [] { fftwf_make_planner_thread_safe(); });

    // Onsets need no more than about 11 kHz of bandwidth: halving 44.1 and 48 kHz audio (by
    // averaging pairs, whose aliasing only moves cymbal noise between high bands) halves the cost.
    decimation_ = std::max(1, sampleRate / 22050);
    const int rate = std::max(sampleRate / decimation_, 8000);
    hop_ = std::max(1, static_cast<int>(std::lround(rate / 100.0)));
    framesPerSecond_ = static_cast<double>(rate) / hop_;
    // About 23 ms: short enough to keep onsets sharp, long enough to resolve a kick's body.
    frameSize_ = powerOfTwoAtLeast(rate / 43.0);
    // About 90 dB below a full-scale sine, so dither and near-silence give no onsets.
    powerFloor_ = 1e-10f * static_cast<float>(frameSize_) * static_cast<float>(frameSize_);

    window_.resize(static_cast<std::size_t>(frameSize_));
    for (std::size_t i = 0; i < window_.size(); ++i)
        window_[i] = static_cast<float>(
            0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / frameSize_));

    const std::size_t bins = window_.size() / 2;
    bandEdges_ = binEdges(kBandEdgesHz, frameSize_, rate, &bandEdgesHz_);
    noiseEdges_ = binEdges(kNoiseEdgesHz, frameSize_, rate);
    binPowers_.assign(bins + 1, 0.0f);
    harmonyFirst_ = static_cast<std::size_t>(std::lround(kHarmonyLoHz * frameSize_ / rate));
    harmonyEnd_ =
        std::min(bins, static_cast<std::size_t>(std::lround(kHarmonyHiHz * frameSize_ / rate)));
    // Whole blocks of kBlock bins; 1.6 kHz lies far below the top bin at any rate.
    harmonyEnd_ = harmonyFirst_ + (harmonyEnd_ - harmonyFirst_ + kBlock - 1) / kBlock * kBlock;
    harmonyLevel_.assign(harmonyEnd_ - harmonyFirst_, 0.0f);
    harmonyOpening_ = RunningOpening(harmonyLevel_.size(), kDrumFrames);

    fftIn_ = fftwf_alloc_real(window_.size());
    fftOut_ = reinterpret_cast<float*>(fftwf_alloc_complex(bins + 1));
    plan_ = fftwf_plan_dft_r2c_1d(frameSize_, fftIn_, reinterpret_cast<fftwf_complex*>(fftOut_),
                                  FFTW_ESTIMATE);
    pending_.reserve(window_.size() * 4);
}

OnsetEnvelope::~OnsetEnvelope() {
    fftwf_destroy_plan(plan_);
    fftwf_free(fftOut_);
    fftwf_free(fftIn_);
}

void OnsetEnvelope::add(const float* samples, std::size_t count) {
    // A damaged decode may hand over NaN or infinity; such a sample counts as silence, so that it
    // cannot poison the band sums of the whole stretch.
    const auto sane = [](float s) { return std::isfinite(s) ? s : 0.0f; };
    float peak = peak_;
    const auto step = static_cast<std::size_t>(decimation_);
    std::size_t i = 0;
    for (; i < count && partialCount_ != 0; ++i) {
        peak = std::max(peak, std::fabs(sane(samples[i])));
        addDecimated(sane(samples[i]));
    }
    const std::size_t whole = (count - i) / step;
    const std::size_t at = pending_.size();
    pending_.resize(at + whole);
    const float scale = 1.0f / static_cast<float>(decimation_);
    for (std::size_t k = 0; k < whole; ++k) {
        float sum = 0;
        for (std::size_t j = 0; j < step; ++j, ++i) {
            const float s = sane(samples[i]);
            peak = std::max(peak, std::fabs(s));
            sum += s;
        }
        pending_[at + k] = sum * scale;
    }
    for (; i < count; ++i) {
        peak = std::max(peak, std::fabs(sane(samples[i])));
        addDecimated(sane(samples[i]));
    }
    peak_ = peak;
    while (pending_.size() - pendingStart_ >= window_.size()) {
        analyseFrame();
        pendingStart_ += static_cast<std::size_t>(hop_);
    }
    // Drop consumed samples only now and then, so long feeds do not move memory on every chunk.
    if (pendingStart_ > pending_.size() / 2) {
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(pendingStart_));
        pendingStart_ = 0;
    }
}

void OnsetEnvelope::addDecimated(float sample) {
    partialSum_ += sample;
    if (++partialCount_ == decimation_) {
        pending_.push_back(partialSum_ / static_cast<float>(decimation_));
        partialSum_ = 0;
        partialCount_ = 0;
    }
}

void OnsetEnvelope::analyseFrame() {
    const float* in = pending_.data() + pendingStart_;
    for (std::size_t i = 0; i < window_.size(); ++i)
        fftIn_[i] = in[i] * window_[i];
    fftwf_execute(plan_);
    // Each bin's power once, then summed into the onset bands and the noise bands.
    for (std::size_t k = bandEdges_.front(); k < bandEdges_.back(); ++k)
        binPowers_[k] = fftOut_[2 * k] * fftOut_[2 * k] + fftOut_[2 * k + 1] * fftOut_[2 * k + 1];
    const auto sumBands = [&](const std::vector<std::size_t>& edges, std::vector<float>& powers) {
        for (std::size_t b = 0; b + 1 < edges.size(); ++b) {
            // Four running sums, so that the additions need not wait for each other.
            float sums[4] = {};
            std::size_t k = edges[b];
            for (; k + 4 <= edges[b + 1]; k += 4)
                for (std::size_t j = 0; j < 4; ++j)
                    sums[j] += binPowers_[k + j];
            for (; k < edges[b + 1]; ++k)
                sums[0] += binPowers_[k];
            powers.push_back((sums[0] + sums[1]) + (sums[2] + sums[3]));
        }
    };
    sumBands(bandEdges_, bandPowers_);
    sumBands(noiseEdges_, noisePowers_);
    const std::size_t bins = harmonyLevel_.size();
    const float* powers = &binPowers_[harmonyFirst_];
    float* levels = harmonyLevel_.data();
    for (std::size_t k = 0; k < bins; ++k)
        harmonyPower_ += powers[k];
    for (std::size_t k = 0; k < bins; k += kBlock)
        for (std::size_t j = 0; j < kBlock; ++j)
            levels[k + j] = quickLog(powers[k + j] + powerFloor_);
    ++harmonyFrames_;
    // Drums taken out as the frames arrive, while the decoder still runs.
    if (bins) harmonyOpening_.push(levels, [this](const float* opened) { keepOpened(opened); });
}

void OnsetEnvelope::keepOpened(const float* opened) {
    const std::size_t bins = harmonyLevel_.size();
    if (harmonyOpenedFrames_ % kChunkFrames == 0) {
        harmonyOpened_.emplace_back();
        harmonyOpened_.back().reserve(kChunkFrames * bins);
    }
    harmonyOpened_.back().insert(harmonyOpened_.back().end(), opened, opened + bins);
    ++harmonyOpenedFrames_;
}

std::vector<float> OnsetEnvelope::loudRises(double loHz, double hiHz) const {
    const std::size_t bands = bandEdges_.size() - 1;
    const std::size_t frames = bands ? bandPowers_.size() / bands : 0;
    std::vector<float> rises(frames, 0.0f);
    for (std::size_t b = 0; b < bands; ++b) {
        if (bandEdgesHz_[b] < loHz || bandEdgesHz_[b + 1] > hiHz) continue;
        float previous = std::sqrt(bandPowers_[b]);
        for (std::size_t t = 1; t < frames; ++t) {
            const float magnitude = std::sqrt(bandPowers_[t * bands + b]);
            rises[t] += std::max(0.0f, magnitude - previous);
            previous = magnitude;
        }
    }
    return rises;
}

std::vector<float> OnsetEnvelope::noiseBursts() const {
    // As many frames as the envelope, also when a low sample rate leaves no noise band.
    const std::size_t bands = noiseEdges_.size() - 1;
    const std::size_t envelopeBands = bandEdges_.size() - 1;
    const std::size_t frames = envelopeBands ? bandPowers_.size() / envelopeBands : 0;
    std::vector<float> least(frames, 0.0f), second(frames, 0.0f);
    std::vector<float> magnitude(frames);
    for (std::size_t b = 0; b < bands; ++b) {
        // Per bin, so that white noise rises alike in narrow and wide bands.
        const float perBin = 1.0f / static_cast<float>(noiseEdges_[b + 1] - noiseEdges_[b]);
        for (std::size_t t = 0; t < frames; ++t)
            magnitude[t] = std::sqrt(noisePowers_[t * bands + b] * perBin);
        for (std::size_t t = 1; t + kSustainFrames < frames; ++t) {
            const float rise = std::max(
                0.0f, std::min(magnitude[t], magnitude[t + kSustainFrames]) - magnitude[t - 1]);
            if (b == 0) {
                least[t] = rise;
                second[t] = std::numeric_limits<float>::max();
            } else if (rise < least[t]) {
                second[t] = least[t];
                least[t] = rise;
            } else {
                second[t] = std::min(second[t], rise);
            }
        }
    }
    // The second least of the bands' rises: one band short of noise (a resonance, a notch) does
    // not hide a snare, two do.
    if (bands < 2) return least;
    for (float& v : second)
        if (v == std::numeric_limits<float>::max()) v = 0;
    return second;
}

namespace {

// A sliding sum of levels raised to a floor moved on by a frame: `entering` added, `leaving` taken
// away.
void slide(float* __restrict sum, const float* __restrict entering, const float* __restrict leaving,
           float floor, std::size_t bins) {
    for (std::size_t k = 0; k < bins; k += kBlock)
        for (std::size_t j = 0; j < kBlock; ++j)
            sum[k + j] += std::max(entering[k + j], floor) - std::max(leaving[k + j], floor);
}

// How much the spectrum's shape changes from `before` to `after`: the lesser of the summed rises
// and the summed falls of its bins, so that a level moving as a whole counts for nothing.
float shapeChange(const float* __restrict after, const float* __restrict before, std::size_t bins) {
    std::array<float, kBlock> rises{}, falls{};
    for (std::size_t k = 0; k < bins; k += kBlock)
        for (std::size_t j = 0; j < kBlock; ++j) {
            const float d = after[k + j] - before[k + j];
            rises[j] += std::max(0.0f, d);
            falls[j] += std::max(0.0f, -d);
        }
    float rise = 0, fall = 0;
    for (std::size_t j = 0; j < kBlock; ++j) {
        rise += rises[j];
        fall += falls[j];
    }
    return std::min(rise, fall);
}

} // namespace

std::vector<float> OnsetEnvelope::harmonyChanges() const {
    const std::size_t bins = harmonyLevel_.size(), frames = bins ? harmonyFrames_ : 0;
    std::vector<float> changes(frames, 0.0f);
    if (frames < 2 * kChangeFrames + 1) return changes;
    // The last frames, whose windows the end clips, leave a copy of the opening: more audio may
    // still come.
    std::vector<float> last;
    RunningOpening(harmonyOpening_).finish([&](const float* opened) {
        last.insert(last.end(), opened, opened + bins);
    });
    const auto opened = [&](std::size_t t) {
        return t < harmonyOpenedFrames_ ? &harmonyOpened_[t / kChunkFrames][t % kChunkFrames * bins]
                                        : &last[(t - harmonyOpenedFrames_) * bins];
    };
    // Taking the floor after the opening rather than before changes nothing: the least and the
    // largest of values each raised to a floor are theirs raised to it.
    const auto floor = static_cast<float>(std::log(std::max<double>(
        powerFloor_, kHarmonyFloor * harmonyPower_ / static_cast<double>(frames * bins))));
    // The level over the 100 ms from each frame on, summed as it slides; the sums of the last
    // kChangeFrames + 1 frames are kept, as far back as a change looks.
    constexpr std::size_t kKept = kChangeFrames + 1;
    std::vector<float> sums(kKept * bins, 0.0f);
    const auto sumAt = [&](std::size_t t) { return &sums[t % kKept * bins]; };
    for (std::size_t j = 0; j < kChangeFrames; ++j)
        for (std::size_t k = 0; k < bins; ++k)
            sums[k] += std::max(opened(j)[k], floor);
    for (std::size_t t = 1; t + kChangeFrames <= frames; ++t) {
        std::copy_n(sumAt(t - 1), bins, sumAt(t));
        slide(sumAt(t), opened(t + kChangeFrames - 1), opened(t - 1), floor, bins);
        if (t >= kChangeFrames)
            changes[t] = shapeChange(sumAt(t), sumAt(t - kChangeFrames), bins) / kChangeFrames;
    }
    return changes;
}

std::vector<float> OnsetEnvelope::envelope() const {
    const std::size_t bands = bandEdges_.size() - 1;
    const std::size_t frames = bands ? bandPowers_.size() / bands : 0;
    std::vector<float> env(frames, 0.0f);
    if (frames == 0) return env;
    // Power far below the track's own level is leakage and hiss whose log wobbles at random (or,
    // for a steady tone, in a regular pattern that looks like a rhythm): it counts as no power.
    double total = 0;
    for (float p : bandPowers_)
        total += p;
    const auto floor = static_cast<float>(
        std::max<double>(powerFloor_, kRelativeFloor * total / static_cast<double>(frames)));
    std::vector<float> flux(frames);
    for (std::size_t b = 0; b < bands; ++b) {
        double squares = 0;
        flux[0] = 0;
        float previous = std::log(bandPowers_[b] + floor);
        for (std::size_t t = 1; t < frames; ++t) {
            const float level = std::log(bandPowers_[t * bands + b] + floor);
            flux[t] = std::max(0.0f, level - previous);
            previous = level;
            squares += static_cast<double>(flux[t]) * flux[t];
        }
        // A band that barely moves (a held tone, a steady hum) keeps its tiny rises tiny instead of
        // being blown up to the size of a drum's.
        const double rms = std::sqrt(squares / static_cast<double>(frames));
        const auto scale = static_cast<float>(1.0 / std::max(rms, kLeastRiseRms));
        for (std::size_t t = 0; t < frames; ++t)
            env[t] += flux[t] * scale;
    }
    return env;
}

} // namespace zen::audio
