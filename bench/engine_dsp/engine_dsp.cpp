// One deck's real-time work and the varispeed's response, through the test clock, and the
// resamplers the engine could use, measured on their own. Prints, last:
//   candidate_*            per resampler: worst level at 18 kHz over the pitch range, the top of
//                          its flat band at -16 %, its worst spur, its stereo speed
//   passband_db_at_18k     through the engine: the level of a tone leaving at 18 kHz, worst over
//                          the rates of -16 % .. +16 %
//   flat_18k_from_percent  the lowest pitch at which 18 kHz is still within 0.5 dB
//   top_khz_at_minus16     the highest frequency within 0.5 dB at -16 %
//   worst_spur_db          the strongest spurious or aliased component relative to the tone, at
//                          rates from -16 % - 5000 Hz to +16 % + 5000 Hz
//   switch_dip_db_at_16k   the deepest dip in the level of a 16 kHz tone while the pitch is
//                          nudged off 0 % (either way)
//   *_48k, *_96k           passband_db_at_18k and worst_spur_db with the output at 48 and 96 kHz,
//                          the varispeed converting to the output's rate as it goes
//   realtime_factor        an MP3 channel at +8 % through four equalizer bands, with the level
//                          and the spectrum read every 10 ms as the deck's timers do: seconds of
//                          audio per second of the rendering thread's CPU time (the decode
//                          worker is left out: it runs once per track, not per block)
//   engine_cpu_percent     the engine's own CPU figure over that run
//   worst_restart_ms       the longest a restart of the resampler (a seek or a loop wrap) keeps
//                          the audio thread, mean of 20, over the speeds it serves, from the
//                          slowest (near the end of a progressive bend) to the top of the range
#include "Candidates.h"
#include "Measure.h"
#include "ToneMeasure.h"
#include "Tracks.h"
#include "deck/audio/TestClock.h"
#include "deck/audio/Varispeed.h"
#include "deck/audio/Voice.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace zen::audio;

namespace {

constexpr int kRate = 44100;
constexpr int kSeconds = 60;
constexpr int kRateAt8Percent = 47628;

Handle openWithEq(TestClockEngine& engine, const std::string& path) {
    const Handle h = engine.streamCreateFile(path, 0, 0, kStreamFx | kStreamExactSeek);
    const float centres[4] = {80, 3000, 8000, 80};
    const float gains[4] = {6, -4, 3, 6};
    for (int band = 0; band < 4; ++band) {
        const Handle fx = engine.channelSetFx(h, kFxParamEq);
        engine.fxSetParameters(fx, ParamEq{centres[band], 36, gains[band]});
    }
    engine.channelSlideAttributes(h, kRateAt8Percent, 50, 0, 0);
    return h;
}

// Plays a file of a tone that leaves at `outHz` at `rate` through an output of `outputRate` and
// returns `frames` of the left channel once the start's fade is over.
std::vector<float> engineTone(const std::string& folder, double rate, double outHz, int frames,
                              double outputRate = kRate) {
    const std::string path = folder + "/tone.wav";
    zen::bench::writeToneWav(path, outHz * kRate / rate, 0.5,
                             (frames + 8820) * rate / outputRate / kRate + 0.2);
    auto engine = createTestClockEngine(outputRate);
    engine->init(0, 44100, 0);
    engine->start();
    const Handle h = engine->streamCreateFile(path, 0, 0, 0);
    engine->channelSlideAttributes(h, static_cast<int>(rate), -1, kPanLeaveAlone, 0);
    engine->streamPlay(h, 0, 0);
    engine->render(4410);
    const auto stereo = engine->render(frames);
    std::vector<float> left(static_cast<std::size_t>(frames));
    for (std::size_t i = 0; i < left.size(); ++i)
        left[i] = stereo[2 * i];
    return left;
}

double engineDb(const std::string& folder, double rate, double outHz, double outputRate = kRate) {
    return 20 *
           std::log10(zen::e2e::toneAmplitude(engineTone(folder, rate, outHz, 8192, outputRate),
                                              outHz, outputRate) /
                      0.5);
}

// The worst level at 18 kHz over the pitch range, in dB.
double passbandAt18k(const std::string& folder, double outputRate) {
    double db = 0;
    for (double rate : {37044, 38000, 39000, 40000, 42000, 44078, 44122, 46000, 48000, 51156})
        db = std::min(db, engineDb(folder, rate, 18000, outputRate));
    return db;
}

// The strongest spurious or aliased component relative to the tone, over tones at 1, 15 and
// 18 kHz (where the file holds them) at rates beyond the pitch range either way.
double worstSpur(const std::string& folder, double outputRate) {
    double worst = -200;
    for (double rate : {32044, 37044, 44122, 47628, 51156, 56156}) {
        // 18 kHz where the file holds it: at -16 % its image lies just past the file's Nyquist.
        for (double outHz : {997.0, 15000.0, 18000.0}) {
            if (outHz * kRate / rate >= kRate / 2) continue;
            const auto out = engineTone(folder, rate, outHz, 32768, outputRate);
            worst = std::max(worst, zen::bench::worstSpurDb(out, outHz, 0.5, outputRate));
        }
        // A source tone at 21 kHz that the rate takes beyond the output's Nyquist (from 88.2 kHz
        // on, beyond that of the half rate the voice renders at): all of it that comes out is
        // aliasing.
        const double nyquist = outputRate >= 88200 ? outputRate / 4 : outputRate / 2;
        if (21000 * rate / kRate > nyquist) {
            const auto alias = engineTone(folder, rate, 21000 * rate / kRate, 32768, outputRate);
            worst = std::max(worst, zen::bench::worstSpurDb(alias, 0, 0.5, outputRate));
        }
    }
    return worst;
}

// The deepest dip in the level of a tone leaving at 16 kHz over the 2048 frames after the pitch
// moves from 0 % to `rate`, in dB: the level fitted over every window of 32 frames (11 cycles).
double switchDipDb(const std::string& folder, double rate) {
    const std::string path = folder + "/switch.wav";
    zen::bench::writeToneWav(path, 16000, 0.5, 1);
    auto engine = createTestClockEngine();
    engine->init(0, 44100, 0);
    engine->start();
    const Handle h = engine->streamCreateFile(path, 0, 0, 0);
    engine->streamPlay(h, 0, 0);
    engine->render(4410);
    engine->channelSlideAttributes(h, static_cast<int>(rate), -1, kPanLeaveAlone, 0);
    const auto stereo = engine->render(2048);
    constexpr int kWindow = 32;
    double lowest = 1;
    for (int from = 0; from + kWindow <= 2048; ++from) {
        std::vector<float> window(kWindow);
        for (int i = 0; i < kWindow; ++i)
            window[static_cast<std::size_t>(i)] = stereo[static_cast<std::size_t>(2 * (from + i))];
        lowest = std::min(lowest, zen::e2e::toneAmplitude(window, 16000 * rate / kRate) / 0.5);
    }
    return 20 * std::log10(lowest);
}

// The highest frequency within 0.5 dB at `rate`, to 10 Hz.
double topOfFlatBand(const std::string& folder, double rate) {
    double low = 10000, high = std::min(21500.0, 0.999 * kRate / 2 * rate / kRate);
    while (high - low > 10) {
        const double mid = (low + high) / 2;
        (engineDb(folder, rate, mid) >= -0.5 ? low : high) = mid;
    }
    return low;
}

void feedSine(void* phase, float* frames, int count) {
    auto& t = *static_cast<double*>(phase);
    for (int i = 0; i < count; ++i, t += 1)
        frames[2 * i] = frames[2 * i + 1] = static_cast<float>(0.5 * std::sin(0.05 * t));
}

double worstRestartMs() {
    double worst = 0;
    // The resampler serves from Voice::kLinearBelowRatio on; below it the engine interpolates.
    for (double ratio : {Voice::kLinearBelowRatio, 0.2, 0.5, 1.0, 1.3}) {
        double phase = 0;
        Varispeed varispeed(2, ratio, 1.3, feedSine, &phase);
        std::vector<float> out(2 * 256);
        varispeed.render(out.data(), 256);
        constexpr int kRestarts = 20;
        const double start = zen::bench::threadCpuSeconds();
        for (int i = 0; i < kRestarts; ++i) {
            phase = static_cast<double>(varispeed.plan(5000.0 * i + 0.37));
            varispeed.run();
            varispeed.render(out.data(), 256);
        }
        worst = std::max(worst, (zen::bench::threadCpuSeconds() - start) * 1000 / kRestarts);
    }
    return worst;
}

} // namespace

int main() {
    const auto folder = std::filesystem::temp_directory_path() / "zentari-bench-engine-dsp";
    std::filesystem::create_directories(folder);
    const std::string wav = (folder / "music.wav").string();
    const std::string mp3 = (folder / "music.mp3").string();
    zen::bench::writeMusicWav(wav, kSeconds);
    if (!zen::bench::encodeMp3(wav, mp3)) return 1;

    auto engine = createTestClockEngine();
    engine->init(0, 44100, 0);
    engine->start();
    const Handle h = openWithEq(*engine, mp3);
    engine->streamPlay(h, 0, 0);
    // The whole track in memory first, so the timing is the engine's and not the decoder's.
    engine->render(kRate * (kSeconds - 2));
    engine->channelSetPosition(h, 0);
    engine->streamPlay(h, 0, 0);

    float spectrum[1025];
    const int tick = kRate / 100;
    const int ticks = 100 * (kSeconds - 10);
    const double start = zen::bench::threadCpuSeconds();
    for (int i = 0; i < ticks; ++i) {
        engine->render(tick);
        engine->channelGetLevel(h);
        engine->channelGetData(h, spectrum, kDataFft2048);
    }
    const double cpu = zen::bench::threadCpuSeconds() - start;
    const float engineCpu = engine->getCpu();
    const bool stillPlaying = engine->channelGetLevel(h) != -1;
    engine->streamFree(h);
    if (!stillPlaying) {
        std::fprintf(stderr, "the channel stopped before the end of the run\n");
        return 1;
    }

    // The response through the engine.
    const double dbAt18k = passbandAt18k(folder.string(), kRate);
    double flatLow = 35000, flatHigh = 44078;
    while (flatHigh - flatLow > 4) {
        const double mid = (flatLow + flatHigh) / 2;
        (engineDb(folder.string(), mid, 18000) >= -0.5 ? flatHigh : flatLow) = mid;
    }
    const double topAtMinus16 = topOfFlatBand(folder.string(), 37044);
    const double spur = worstSpur(folder.string(), kRate);
    const double switchDip =
        std::min(switchDipDb(folder.string(), 44078), switchDipDb(folder.string(), 44122));
    struct AtRate {
        int khz;
        double dbAt18k, spur;
    };
    std::vector<AtRate> atRates;
    for (int khz : {48, 96})
        atRates.push_back({khz, passbandAt18k(folder.string(), khz * 1000.0),
                           worstSpur(folder.string(), khz * 1000.0)});
    const auto candidates = zen::bench::measureCandidates();
    const double restartMs = worstRestartMs();

    std::filesystem::remove_all(folder);
    for (const auto& c : candidates) {
        std::printf("candidate_%s_db_at_18k=%.2f\n", c.name.c_str(), c.dbAt18k);
        std::printf("candidate_%s_top_khz_at_minus16=%.2f\n", c.name.c_str(), c.topKhzAtMinus16);
        std::printf("candidate_%s_worst_spur_db=%.1f\n", c.name.c_str(), c.worstSpurDb);
        std::printf("candidate_%s_realtime_stereo=%.0f\n", c.name.c_str(), c.realtimeStereo);
    }
    std::printf("passband_db_at_18k=%.2f\n", dbAt18k);
    std::printf("flat_18k_from_percent=%.1f\n", (flatHigh / kRate - 1) * 100);
    std::printf("top_khz_at_minus16=%.2f\n", topAtMinus16 / 1000);
    std::printf("worst_spur_db=%.1f\n", spur);
    std::printf("switch_dip_db_at_16k=%.2f\n", switchDip);
    for (const AtRate& r : atRates) {
        std::printf("passband_db_at_18k_%dk=%.2f\n", r.khz, r.dbAt18k);
        std::printf("worst_spur_db_%dk=%.1f\n", r.khz, r.spur);
    }
    std::printf("audio_seconds=%d\n", ticks / 100);
    std::printf("cpu_seconds=%.3f\n", cpu);
    std::printf("realtime_factor=%.0f\n", (ticks / 100.0) / cpu);
    std::printf("engine_cpu_percent=%.2f\n", engineCpu);
    std::printf("worst_restart_ms=%.2f\n", restartMs);
    return 0;
}
