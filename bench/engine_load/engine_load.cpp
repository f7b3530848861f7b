// Loads a 5-minute 320 kbit/s MP3 the way the deck does and prints, last, as name=value pairs:
//   open_ms         streamCreateFile + streamPreBuf until the channel can play (best of 5)
//   bpm_ms          a decode channel plus bpmDecodeGet over 0..90 s, range 0, flags 3 (best of 5)
//   decode_only_ms  a plain decode of the same first 90 s, the floor for bpm_ms (best of 5)
//   rss_mb, pcm_mb  resident memory once the playing channel is fully decoded, and its PCM
// The file is generated (a drum pattern at 124.3 BPM with chords) and stays in the page cache,
// so the disk is left out.
#include "Measure.h"
#include "Tracks.h"
#include "deck/audio/PcmTrack.h"
#include "deck/audio/TestClock.h"

#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

using namespace zen::audio;
using zen::bench::Clock;
using zen::bench::msSince;
using zen::bench::rssMb;

namespace {

constexpr int kRate = 44100;
constexpr int kSeconds = 300;
constexpr double kBpm = 124.3;
constexpr int kRuns = 5;

void writeMusicWav(const std::string& path) {
    SF_INFO info{};
    info.channels = 2;
    info.samplerate = kRate;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    std::mt19937 random(3);
    std::normal_distribution<float> noise(0, 1);
    const double beat = 60.0 / kBpm;
    std::vector<float> block(2 * kRate);
    for (int second = 0; second < kSeconds; ++second) {
        for (int i = 0; i < kRate; ++i) {
            const double t = second + double(i) / kRate;
            const double inBeat = std::fmod(t, beat);
            const double inHat = std::fmod(t + beat / 2, beat);
            const double kick = std::exp(-inBeat * 25) * std::sin(2 * M_PI * 50 * inBeat);
            const double hat = std::exp(-inHat * 120) * noise(random) * 0.3;
            const double chord = std::sin(2 * M_PI * 220 * t) + std::sin(2 * M_PI * 277.2 * t) +
                                 std::sin(2 * M_PI * 329.6 * t);
            block[2 * i] = static_cast<float>(0.45 * kick + hat + 0.08 * chord);
            block[2 * i + 1] = static_cast<float>(0.45 * kick + 0.8 * hat + 0.08 * chord);
        }
        sf_writef_float(file, block.data(), kRate);
    }
    sf_close(file);
}

} // namespace

int main() {
    const auto folder = std::filesystem::temp_directory_path() / "zentari-bench-engine-load";
    std::filesystem::create_directories(folder);
    const std::string wav = (folder / "track.wav").string();
    const std::string mp3 = (folder / "track.mp3").string();
    writeMusicWav(wav);
    if (!zen::bench::encodeMp3(wav, mp3)) {
        std::fprintf(stderr, "lame failed\n");
        return 1;
    }

    auto engine = createTestClockEngine();
    engine->init(0, 44100, 0);
    engine->start();

    double openMs = 1e9, bpmMs = 1e9, decodeMs = 1e9;
    float bpm = 0;
    for (int run = 0; run < kRuns; ++run) {
        auto start = Clock::now();
        const Handle h = engine->streamCreateFile(mp3, 0, 0, kStreamFx | kStreamExactSeek);
        engine->streamPreBuf(h);
        openMs = std::min(openMs, msSince(start));
        engine->streamFree(h);

        start = Clock::now();
        const Handle d = engine->streamCreateFile(mp3, 0, 0, kDecodeOnly);
        bpm = engine->bpmDecodeGet(d, 0, 90, 0, 3, nullptr);
        bpmMs = std::min(bpmMs, msSince(start));
        engine->bpmFree(d);

        start = Clock::now();
        auto track = PcmTrack::open(mp3, PcmTrack::Kind::Stream, false);
        track->waitDecoded(90LL * kRate);
        decodeMs = std::min(decodeMs, msSince(start));
    }

    const Handle h = engine->streamCreateFile(mp3, 0, 0, kStreamFx | kStreamExactSeek);
    engine->channelSetPosition(h, static_cast<std::int32_t>(engine->streamGetLength(h) - 4 * 4096));
    engine->streamPreBuf(h);
    const double pcmMb = engine->streamGetLength(h) / (1024.0 * 1024.0);
    const double rss = rssMb();

    std::filesystem::remove_all(folder);
    std::printf("detected_bpm=%.2f\n", bpm);
    std::printf("open_ms=%.1f\n", openMs);
    std::printf("bpm_ms=%.1f\n", bpmMs);
    std::printf("decode_only_ms=%.1f\n", decodeMs);
    std::printf("bpm_over_decode=%.2f\n", bpmMs / decodeMs);
    std::printf("pcm_mb=%.1f\n", pcmMb);
    std::printf("rss_mb=%.1f\n", rss);
    std::printf("rss_above_pcm_mb=%.1f\n", rss - pcmMb);
    return 0;
}
