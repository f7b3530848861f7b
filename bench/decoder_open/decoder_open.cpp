// Opens 5-minute tracks the way the deck does and measures: open_ms (open until the first block
// can play), decode_ms (open until the whole track is decoded) and the resident memory beyond the
// decoded PCM. Files are generated into a temporary folder and stay in the page cache, so the
// figures leave the disk out.
#include "Measure.h"
#include "Tracks.h"
#include "deck/audio/PcmTrack.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using zen::audio::PcmTrack;
using zen::bench::Clock;
using zen::bench::msSince;
using zen::bench::rssMb;

namespace {

constexpr int kSeconds = 300;
constexpr int kRuns = 5;
constexpr std::int64_t kPlayableFrames = 4096;

// An 8-channel module of about five minutes with a note on every other cell.
void writeModule(const std::string& path) {
    constexpr int kPatterns = 40, kChannels = 8, kSamples = 8;
    std::vector<unsigned char> mod(1084, 0);
    for (int s = 0; s < kSamples; ++s) {
        unsigned char* h = &mod[size_t(20 + 30 * s)];
        const int words = 2000 + s * 300;
        h[22] = static_cast<unsigned char>(words >> 8), h[23] = static_cast<unsigned char>(words);
        h[25] = 48;
        h[27] = 100; // loop from word 100 to the end
        h[28] = static_cast<unsigned char>((words - 100) >> 8);
        h[29] = static_cast<unsigned char>(words - 100);
    }
    mod[950] = kPatterns;
    mod[951] = 127;
    for (int i = 0; i < kPatterns; ++i)
        mod[size_t(952 + i)] = static_cast<unsigned char>(i);
    std::memcpy(&mod[1080], "8CHN", 4);
    for (int p = 0; p < kPatterns; ++p) {
        std::vector<unsigned char> pattern(64 * kChannels * 4, 0);
        for (int row = 0; row < 64; ++row) {
            for (int c = (row % 2); c < kChannels; c += 2) {
                unsigned char* cell = &pattern[size_t((row * kChannels + c) * 4)];
                const int period = 214 + ((row * 7 + c * 13 + p) % 24) * 20;
                const int sample = 1 + (row + c) % kSamples;
                cell[0] = static_cast<unsigned char>((sample & 0xf0) | (period >> 8));
                cell[1] = static_cast<unsigned char>(period);
                cell[2] = static_cast<unsigned char>((sample & 0x0f) << 4);
            }
        }
        mod.insert(mod.end(), pattern.begin(), pattern.end());
    }
    for (int s = 0; s < kSamples; ++s) {
        for (int i = 0; i < (2000 + s * 300) * 2; ++i) {
            const double v = 60 * std::sin(i * 2 * M_PI / (20 + s * 3)) + 30 * std::sin(i * 0.37);
            mod.push_back(static_cast<unsigned char>(static_cast<signed char>(std::lround(v))));
        }
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(mod.data()), std::streamsize(mod.size()));
}

struct Figures {
    double openMs = 0;
    double decodeMs = 0;
    double seconds = 0;
};

Figures measure(const std::string& path, PcmTrack::Kind kind) {
    std::vector<double> opens, decodes;
    double seconds = 0;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = Clock::now();
        auto track = PcmTrack::open(path, kind, false);
        if (!track) {
            std::fprintf(stderr, "cannot open %s\n", path.c_str());
            std::exit(1);
        }
        track->waitDecoded(kPlayableFrames);
        opens.push_back(msSince(start));
        track->waitDecoded(track->lengthFrames());
        decodes.push_back(msSince(start));
        seconds = double(track->lengthFrames()) / track->sampleRate();
    }
    std::sort(opens.begin(), opens.end());
    std::sort(decodes.begin(), decodes.end());
    return {opens[kRuns / 2], decodes[kRuns / 2], seconds};
}

} // namespace

int main() {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("zen-decoder-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string wav = (folder / "music.wav").string();
    const std::string lame = (folder / "lame.mp3").string();
    const std::string plain = (folder / "plain.mp3").string();
    const std::string module = (folder / "dense.mod").string();
    zen::bench::writeMusicWav(wav, kSeconds);
    writeModule(module);
    const std::string encode = "lame --quiet -b 320 '" + wav + "' '" + lame +
                               "' & lame --quiet -t -b 320 '" + wav + "' '" + plain + "'; wait";
    if (std::system(encode.c_str()) != 0) return 1;

    const Figures withHeader = measure(lame, PcmTrack::Kind::Stream);
    const Figures noHeader = measure(plain, PcmTrack::Kind::Stream);
    const Figures wavFigures = measure(wav, PcmTrack::Kind::Stream);
    const Figures moduleFigures = measure(module, PcmTrack::Kind::Module);

    // Memory: one loaded 5-minute MP3, held as the deck holds it.
    auto track = PcmTrack::open(plain, PcmTrack::Kind::Stream, false);
    track->waitDecoded(track->lengthFrames());
    const double after = rssMb();
    const double pcmMb = double(track->lengthFrames()) * track->channels() * 2 / (1024.0 * 1024.0);
    track.reset();
    std::filesystem::remove_all(folder);

    std::printf("5-minute tracks, median of %d opens (files in the page cache)\n", kRuns);
    std::printf("  mp3 320k, LAME header    open %.1f ms, whole decode %.1f ms\n",
                withHeader.openMs, withHeader.decodeMs);
    std::printf("  mp3 320k, no header      open %.1f ms, whole decode %.1f ms\n", noHeader.openMs,
                noHeader.decodeMs);
    std::printf("  wav 16-bit               open %.1f ms, whole decode %.1f ms\n",
                wavFigures.openMs, wavFigures.decodeMs);
    std::printf("  module, 8 channels, %.0f s open %.1f ms, whole render %.1f ms\n",
                moduleFigures.seconds, moduleFigures.openMs, moduleFigures.decodeMs);
    std::printf("open_ms=%.1f\n", std::max(withHeader.openMs, noHeader.openMs));
    std::printf("decode_ms=%.1f\n", noHeader.decodeMs);
    std::printf("module_open_ms=%.1f\n", moduleFigures.openMs);
    std::printf("rss_mb=%.1f\n", after);
    std::printf("pcm_mb=%.1f\n", pcmMb);
    std::printf("rss_above_pcm_mb=%.1f\n", after - pcmMb);
    return 0;
}
