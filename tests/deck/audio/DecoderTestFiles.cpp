#include "DecoderTestFiles.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <sndfile.h>
#include <stdexcept>

namespace zen::audio::test {

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zen-decoders.XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    root = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

Pcm makeSignal(int channels, int rate, std::int64_t frames) {
    Pcm pcm{channels, rate, {}};
    pcm.samples.resize(static_cast<size_t>(frames * channels));
    std::mt19937 noise(42);
    std::uniform_int_distribution<int> small(-1500, 1500);
    for (std::int64_t f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            const double t = double(f) / rate;
            const double tone = 9000 * std::sin(2 * M_PI * (440 + 110 * c) * t) +
                                6000 * std::sin(2 * M_PI * 3150 * t + c);
            pcm.samples[static_cast<size_t>(f * channels + c)] =
                static_cast<std::int16_t>(std::lround(tone) + small(noise));
        }
    }
    return pcm;
}

std::string writeSndfile(const std::string& path, const Pcm& pcm, int format) {
    SF_INFO info{};
    info.channels = pcm.channels;
    info.samplerate = pcm.rate;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) throw std::runtime_error("cannot write " + path + ": " + sf_strerror(nullptr));
    sf_writef_short(file, pcm.samples.data(), pcm.frames());
    sf_close(file);
    return path;
}

void encodeMp3(const std::string& wav, const std::string& mp3, const std::string& extraArgs) {
    const std::string command = "lame --quiet " + extraArgs + " '" + wav + "' '" + mp3 + "'";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("lame failed: " + command);
}

PcmTrack::Kind kindOf(const std::string& path) {
    const bool module = path.ends_with(".mod") || path.ends_with(".xm");
    return module ? PcmTrack::Kind::Module : PcmTrack::Kind::Stream;
}

Pcm decodeTrack(const std::string& path, bool mono) {
    std::string why;
    auto track = PcmTrack::open(path, kindOf(path), mono, &why);
    EXPECT_TRUE(track) << path << ": " << why;
    if (!track) return {};
    const std::int64_t decoded = track->waitDecoded(track->lengthFrames());
    EXPECT_TRUE(track->finished()) << path;
    EXPECT_EQ(decoded, track->lengthFrames()) << path;
    return {track->channels(),
            track->sampleRate(),
            {track->data(), track->data() + decoded * track->channels()}};
}

std::vector<unsigned char> makeModule(int patterns) {
    constexpr int kSampleWords = 32;
    std::vector<unsigned char> mod(1084, 0);
    unsigned char* sample = &mod[20]; // the first of 31 sample headers
    sample[23] = kSampleWords;        // length in words
    sample[25] = 64;                  // volume
    sample[29] = kSampleWords;        // loop length in words: the whole sample
    mod[950] = static_cast<unsigned char>(patterns);
    mod[951] = 127;
    for (int p = 0; p < patterns; ++p)
        mod[952 + p] = static_cast<unsigned char>(p);
    mod[1080] = 'M', mod[1081] = '.', mod[1082] = 'K', mod[1083] = '.';
    for (int p = 0; p < patterns; ++p) {
        std::vector<unsigned char> pattern(64 * 4 * 4, 0);
        for (int row = 0; row < 64; row += 4) {
            unsigned char* cell = &pattern[row * 16 + (row / 4 % 4) * 4];
            const int period = 428 - 20 * (row / 4 % 5);
            cell[0] = static_cast<unsigned char>(period >> 8);
            cell[1] = static_cast<unsigned char>(period & 0xff);
            cell[2] = 1 << 4; // sample 1
        }
        pattern[1 * 16 + 2] = 0x0f; // speed
        pattern[1 * 16 + 3] = static_cast<unsigned char>(p % 2 ? 3 : 6);
        pattern[9 * 16 + 2] = 0x0f; // tempo
        pattern[9 * 16 + 3] = static_cast<unsigned char>(0x7d + 17 * p);
        mod.insert(mod.end(), pattern.begin(), pattern.end());
    }
    for (int i = 0; i < kSampleWords * 2; ++i)
        mod.push_back(static_cast<unsigned char>(std::lround(100 * std::sin(i * 2 * M_PI / 64))));
    return mod;
}

std::vector<unsigned char> layerOneFrames(int slow, int fast) {
    std::vector<unsigned char> bytes;
    for (int i = 0; i < slow + fast; ++i) {
        const bool isFast = i >= slow;
        const unsigned char rate = isFast ? 0xe0 : 0x40; // bit-rate index 14 or 4, 44100 Hz
        const unsigned char header[] = {0xff, 0xff, rate, 0x00};
        bytes.insert(bytes.end(), std::begin(header), std::end(header));
        bytes.resize(bytes.size() + (isFast ? 480 : 132), 0);
    }
    return bytes;
}

std::string writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

std::vector<unsigned char> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace zen::audio::test
