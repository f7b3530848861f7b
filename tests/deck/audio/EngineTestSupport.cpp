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

void writeWav(const std::string& path, const Pcm& pcm) {
    writeSndfile(path, pcm);
}

std::vector<float> channelOf(const std::vector<float>& stereo, int channel, std::size_t from) {
    std::vector<float> out;
    for (std::size_t i = 2 * from + static_cast<std::size_t>(channel); i < stereo.size(); i += 2)
        out.push_back(stereo[i]);
    return out;
}

double measureHz(const std::vector<float>& mono, double rate) {
    std::vector<double> rises; // where the signal crosses zero upwards, between two samples
    for (std::size_t i = 1; i < mono.size(); ++i)
        if (mono[i - 1] < 0 && mono[i] >= 0)
            rises.push_back(double(i - 1) + mono[i - 1] / (mono[i - 1] - mono[i]));
    if (rises.size() < 2) return 0;
    return double(rises.size() - 1) * rate / (rises.back() - rises.front());
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
    const Handle h = engine->streamCreateFile(writeSndfile(folder.path(name), pcm), 0, 0, flags);
    EXPECT_NE(h, 0u) << name;
    return h;
}

} // namespace zen::audio::test
