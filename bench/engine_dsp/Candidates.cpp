#include "Candidates.h"

#include "Measure.h"
#include "ToneMeasure.h"
#include "deck/audio/Varispeed.h"

#include <samplerate.h>
#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <functional>

namespace zen::bench {

namespace {

// Resamples interleaved input of `channels` at `ratio` input frames per output frame.
using Resampler = std::function<std::vector<float>(const std::vector<float>&, int channels,
                                                   double ratio, int outFrames)>;

Resampler libsamplerate(int type) {
    return [type](const std::vector<float>& in, int channels, double ratio, int outFrames) {
        int error = 0;
        SRC_STATE* state = src_new(type, channels, &error);
        std::vector<float> out(static_cast<std::size_t>(outFrames * channels));
        SRC_DATA data{};
        data.data_in = in.data();
        data.input_frames = static_cast<long>(in.size()) / channels;
        data.data_out = out.data();
        data.output_frames = outFrames;
        data.src_ratio = 1 / ratio;
        src_process(state, &data);
        src_delete(state);
        out.resize(static_cast<std::size_t>(data.output_frames_gen * channels));
        return out;
    };
}

// Streams `in` through `soxr` in blocks of 256 frames, up to `outFrames` of output.
std::vector<float> stream(soxr_t soxr, const std::vector<float>& in, int channels,
                          std::size_t outFrames) {
    const auto ch = static_cast<std::size_t>(channels);
    std::vector<float> out(outFrames * ch);
    std::size_t done = 0, fed = 0;
    const std::size_t inFrames = in.size() / ch;
    while (done < outFrames && fed < inFrames) {
        std::size_t used = 0, made = 0;
        soxr_process(soxr, in.data() + fed * ch, std::min<std::size_t>(256, inFrames - fed), &used,
                     out.data() + done * ch, outFrames - done, &made);
        fed += used;
        done += made;
    }
    soxr_delete(soxr);
    out.resize(done * ch);
    return out;
}

std::vector<float> soxrVariableRate(const std::vector<float>& in, int channels, double ratio,
                                    int outFrames) {
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, SOXR_VR);
    soxr_error_t error = nullptr;
    soxr_t soxr =
        soxr_create(4, 1, static_cast<unsigned>(channels), &error, nullptr, &quality, nullptr);
    soxr_set_io_ratio(soxr, ratio, 0);
    return stream(soxr, in, channels, static_cast<std::size_t>(outFrames));
}

// libsoxr's fixed-rate converter raising the rate by `factor`, linear-phase, flat to 97.5 % of
// the Nyquist and stopped from it on, ahead of the variable-rate one: the variable-rate filter's
// band edges then lie above the file's band.
Resampler soxrOversampled(double factor) {
    return [factor](const std::vector<float>& in, int channels, double ratio, int outFrames) {
        soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, SOXR_LINEAR_PHASE);
        quality.passband_end = 0.975;
        quality.stopband_begin = 1;
        soxr_error_t error = nullptr;
        soxr_t soxr =
            soxr_create(kOutputRate, kOutputRate * factor, static_cast<unsigned>(channels), &error,
                        nullptr, &quality, nullptr);
        const auto frames = static_cast<std::size_t>(static_cast<double>(in.size()) * factor);
        return soxrVariableRate(
            stream(soxr, in, channels, frames / static_cast<std::size_t>(channels)), channels,
            ratio * factor, outFrames);
    };
}

// The engine's own: libsoxr's fixed-rate x1.25 as above, then our polyphase stage.
std::vector<float> varispeed(const std::vector<float>& in, int channels, double ratio,
                             int outFrames) {
    struct Source {
        const std::vector<float>& in;
        int channels;
        std::size_t next = 0;
    } source{in, channels};
    const auto feed = [](void* context, float* frames, int count) {
        auto& s = *static_cast<Source*>(context);
        const auto width = static_cast<std::size_t>(s.channels);
        for (std::size_t i = 0; i < static_cast<std::size_t>(count) * width; ++i, ++s.next)
            frames[i] = s.next < s.in.size() ? s.in[s.next] : 0.0f;
    };
    audio::Varispeed converter(channels, ratio, ratio, feed, &source);
    std::vector<float> out(static_cast<std::size_t>(outFrames * channels));
    for (int done = 0; done < outFrames; done += 256)
        converter.render(out.data() + done * channels, std::min(256, outFrames - done));
    return out;
}

std::vector<float> sine(double hz, double seconds) {
    std::vector<float> x(static_cast<std::size_t>(seconds * kOutputRate));
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(0.5 * std::sin(2 * M_PI * hz * double(i) / kOutputRate));
    return x;
}

// The output of a tone leaving at `outHz` at `rate`, after the converter's start.
std::vector<float> toneOut(const Resampler& resample, double rate, double outHz, int frames) {
    const double ratio = rate / kOutputRate;
    auto out = resample(sine(outHz / ratio, (frames + 8192) * ratio / kOutputRate + 0.1), 1, ratio,
                        frames + 4096);
    out.erase(out.begin(), out.begin() + std::min<std::ptrdiff_t>(4096, std::ssize(out)));
    out.resize(static_cast<std::size_t>(frames), 0.0f);
    return out;
}

double levelDb(const Resampler& resample, double rate, double outHz) {
    return 20 *
           std::log10(zen::e2e::toneAmplitude(toneOut(resample, rate, outHz, 8192), outHz) / 0.5);
}

} // namespace

std::vector<CandidateFigures> measureCandidates() {
    const std::vector<std::pair<std::string, Resampler>> candidates = {
        {"lsr_sinc_fastest", libsamplerate(SRC_SINC_FASTEST)},
        {"lsr_sinc_medium", libsamplerate(SRC_SINC_MEDIUM_QUALITY)},
        {"lsr_sinc_best", libsamplerate(SRC_SINC_BEST_QUALITY)},
        {"soxr_vr", soxrVariableRate},
        {"soxr_vr_oversampled_2", soxrOversampled(2)},
        {"soxr_vr_oversampled_1_25", soxrOversampled(1.25)},
        {"soxr_oversampled_1_25_then_own", varispeed},
    };
    std::vector<CandidateFigures> figures;
    for (const auto& [name, resample] : candidates) {
        CandidateFigures f;
        f.name = name;
        f.dbAt18k = 0;
        for (double rate : {37044.0, 40000.0, 44078.0, 44122.0, 47628.0, 51156.0})
            f.dbAt18k = std::min(f.dbAt18k, levelDb(resample, rate, 18000));
        double low = 10000, high = 21000;
        for (int i = 0; i < 14; ++i) {
            const double mid = (low + high) / 2;
            (levelDb(resample, 37044, mid) >= -0.5 ? low : high) = mid;
        }
        f.topKhzAtMinus16 = low / 1000;
        f.worstSpurDb = -200;
        for (double rate : {37044.0, 47628.0, 56156.0}) {
            for (double outHz : {997.0, 15000.0, 18000.0}) {
                if (outHz * kOutputRate / rate >= kOutputRate / 2.0) continue;
                const auto out = toneOut(resample, rate, outHz, 32768);
                f.worstSpurDb = std::max(f.worstSpurDb, worstSpurDb(out, outHz, 0.5));
            }
        }
        // A source tone at 21 kHz played at +16 % lands above the output's Nyquist: all of it
        // that comes out is aliasing.
        const auto alias = toneOut(resample, 51156, 21000 * 51156.0 / kOutputRate, 32768);
        f.worstSpurDb = std::max(f.worstSpurDb, worstSpurDb(alias, 0, 0.5));

        const auto stereo = [&] {
            std::vector<float> x(static_cast<std::size_t>(2 * 22 * kOutputRate));
            for (std::size_t i = 0; i < x.size(); ++i)
                x[i] = static_cast<float>(0.3 * std::sin(double(i) * 0.05));
            return x;
        }();
        const double start = threadCpuSeconds();
        resample(stereo, 2, 47628.0 / kOutputRate, 20 * kOutputRate);
        f.realtimeStereo = 20 / (threadCpuSeconds() - start);
        figures.push_back(f);
    }
    return figures;
}

} // namespace zen::bench
