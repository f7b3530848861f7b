#include "Tracks.h"

#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

namespace zen::bench {

namespace {

constexpr int kRate = 44100;

SNDFILE* createStereoWav(const std::string& path) {
    SF_INFO info{};
    info.channels = 2;
    info.samplerate = kRate;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    return sf_open(path.c_str(), SFM_WRITE, &info);
}

} // namespace

void writeMusicWav(const std::string& path, int seconds) {
    SNDFILE* file = createStereoWav(path);
    std::mt19937 random(1);
    std::normal_distribution<float> noise(0, 0.02f);
    std::vector<float> block(2 * kRate);
    for (int second = 0; second < seconds; ++second) {
        for (int i = 0; i < kRate; ++i) {
            const double t = second + double(i) / kRate;
            const double beat = std::fmod(t, 0.5);
            const double kick = std::exp(-beat * 30) * std::sin(2 * M_PI * 55 * beat);
            const double chord = std::sin(2 * M_PI * 220 * t) + std::sin(2 * M_PI * 277.2 * t) +
                                 std::sin(2 * M_PI * 329.6 * t);
            block[size_t(2 * i)] = float(0.4 * kick + 0.12 * chord) + noise(random);
            block[size_t(2 * i + 1)] = float(0.4 * kick + 0.1 * chord) + noise(random);
        }
        sf_writef_float(file, block.data(), kRate);
    }
    sf_close(file);
}

bool writeSineWav(const std::string& path, double hz, int seconds) {
    SNDFILE* file = createStereoWav(path);
    if (!file) return false;
    std::vector<float> block(2 * kRate);
    for (int second = 0; second < seconds; ++second) {
        for (int i = 0; i < kRate; ++i) {
            const double t = second + double(i) / kRate;
            block[size_t(2 * i)] = block[size_t(2 * i + 1)] =
                float(0.5 * std::sin(2 * M_PI * hz * t));
        }
        sf_writef_float(file, block.data(), kRate);
    }
    return sf_close(file) == 0;
}

std::vector<float> writeNoiseWav(const std::string& path, int seconds, int channel, unsigned seed) {
    SNDFILE* file = createStereoWav(path);
    if (!file) return {};
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> sample(-8192, 8191);
    std::vector<float> noise(std::size_t(seconds) * kRate);
    std::vector<short> frames(2 * noise.size(), 0);
    for (std::size_t i = 0; i < noise.size(); ++i) {
        const short value = static_cast<short>(sample(random));
        frames[2 * i + std::size_t(channel)] = value;
        noise[i] = value / 32768.0f;
    }
    sf_writef_short(file, frames.data(), sf_count_t(noise.size()));
    return sf_close(file) == 0 ? noise : std::vector<float>();
}

bool encodeMp3(const std::string& wav, const std::string& mp3) {
    return std::system(("lame --quiet -b 320 '" + wav + "' '" + mp3 + "'").c_str()) == 0;
}

} // namespace zen::bench
