#include "EngineTestSupport.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>

namespace zen::audio::test {

Pcm makeSine(double hz, double amplitude, int rate, double seconds, int channels) {
    Pcm pcm{channels, rate, {}};
    const auto frames = static_cast<std::int64_t>(seconds * rate);
    pcm.samples.resize(static_cast<std::size_t>(frames * channels));
    for (std::int64_t f = 0; f < frames; ++f) {
        const double v = amplitude * 32767.0 * std::sin(2 * M_PI * hz * f / rate);
        for (int c = 0; c < channels; ++c)
            pcm.samples[static_cast<std::size_t>(f * channels + c)] =
                static_cast<std::int16_t>(std::lround(v));
    }
    return pcm;
}

Pcm makeProbe(std::int64_t frames, int channels) {
    return makeSine(997, 0.5, 44100, (static_cast<double>(frames) + 0.5) / 44100, channels);
}

void expectFrames(const std::vector<float>& out, std::size_t from, const Pcm& pcm,
                  std::int64_t source, int count) {
    for (int i = 0; i < count; ++i)
        for (int c = 0; c < 2; ++c) {
            const auto at =
                static_cast<std::size_t>((source + i) * pcm.channels + (pcm.channels == 1 ? 0 : c));
            ASSERT_NEAR(out[2 * (from + static_cast<std::size_t>(i)) + static_cast<std::size_t>(c)],
                        pcm.samples[at] / 32768.0, kProbeTolerance)
                << "output frame " << from + static_cast<std::size_t>(i)
                << " should be source frame " << source + i;
        }
}

void writeWav(const std::string& path, const Pcm& pcm) {
    writeSndfile(path, pcm, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
}

std::vector<float> channelOf(const std::vector<float>& stereo, int channel, std::size_t from) {
    std::vector<float> out;
    for (std::size_t i = 2 * from + static_cast<std::size_t>(channel); i < stereo.size(); i += 2)
        out.push_back(stereo[i]);
    return out;
}

double measureHz(const std::vector<float>& mono, double rate) {
    double first = -1, last = -1;
    int crossings = 0;
    for (std::size_t i = 1; i < mono.size(); ++i) {
        if (mono[i - 1] < 0 && mono[i] >= 0) {
            const double t = (i - 1) + mono[i - 1] / (mono[i - 1] - mono[i]);
            if (first < 0)
                first = t;
            else
                ++crossings;
            last = t;
        }
    }
    if (crossings == 0) return 0;
    return crossings * rate / (last - first);
}

double rms(const std::vector<float>& mono) {
    double sum = 0;
    for (float v : mono)
        sum += double(v) * v;
    return mono.empty() ? 0 : std::sqrt(sum / mono.size());
}

double peak(const std::vector<float>& mono) {
    double p = 0;
    for (float v : mono)
        p = std::max(p, double(std::abs(v)));
    return p;
}

double roughness(const std::vector<float>& mono, int order) {
    double worst = 0;
    for (std::size_t i = 2; i < mono.size(); ++i)
        worst =
            std::max(worst, double(std::abs(order == 1 ? mono[i] - mono[i - 1]
                                                       : mono[i] - 2 * mono[i - 1] + mono[i - 2])));
    return worst;
}

void EngineTest::SetUp() {
    ASSERT_TRUE(engine->init(0, 44100, 0) && engine->start()) << "the test clock did not start";
}

Handle EngineTest::open(const std::string& name, const Pcm& pcm, std::uint32_t flags) {
    writeWav(folder.path(name), pcm);
    const Handle h = engine->streamCreateFile(folder.path(name), 0, 0, flags);
    EXPECT_NE(h, 0u) << name;
    return h;
}

} // namespace zen::audio::test
