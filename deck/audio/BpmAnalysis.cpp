#include "BpmAnalysis.h"

#include "PcmTrack.h"
#include "TempoDetector.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace zen::audio {

namespace {

// Half a second per chunk: the detector starts while the decoder is still running, and the
// progress label moves in steps a DJ can follow.
constexpr double kChunkSeconds = 0.5;

} // namespace

float analyseBpm(const PcmTrack& track, double startSec, double endSec, float minBpm, float maxBpm,
                 std::uint32_t flags, const std::function<void(float percent)>& progress) {
    const int rate = track.sampleRate();
    const int channels = track.channels();
    if (rate <= 0 || channels < 1 || !std::isfinite(startSec) || !std::isfinite(endSec)) return 0;
    const std::int64_t length = track.lengthFrames();
    // Clamped as doubles: a time far past the end must not overflow the conversion.
    const auto toFrame = [&](double sec) {
        return static_cast<std::int64_t>(
            std::clamp(std::floor(sec * rate), 0.0, static_cast<double>(length)));
    };
    const std::int64_t first = toFrame(startSec);
    const std::int64_t last = toFrame(endSec);
    if (last <= first) return 0;

    const auto report = [&](float percent) {
        if (progress) progress(percent);
    };
    report(0);
    TempoDetector detector(rate);
    const auto chunk = std::max<std::int64_t>(1, static_cast<std::int64_t>(kChunkSeconds * rate));
    std::vector<float> mono(static_cast<std::size_t>(chunk));
    const float scale = 1.0f / (32768.0f * static_cast<float>(channels));
    std::int64_t at = first;
    while (at < last) {
        const std::int64_t want = std::min(last, at + chunk);
        const std::int64_t ready = std::min(want, track.waitDecoded(want));
        if (ready <= at)
            break; // the decode ended early: a damaged file is analysed as far as it goes
        const std::int16_t* pcm = track.data() + at * channels;
        const auto frames = static_cast<std::size_t>(ready - at);
        if (channels == 2) {
            for (std::size_t i = 0; i < frames; ++i)
                mono[i] = static_cast<float>(pcm[2 * i] + pcm[2 * i + 1]) * scale;
        } else {
            const auto width = static_cast<std::size_t>(channels);
            for (std::size_t i = 0; i < frames; ++i) {
                int sum = 0;
                for (std::size_t c = 0; c < width; ++c)
                    sum += pcm[i * width + c];
                mono[i] = static_cast<float>(sum) * scale;
            }
        }
        detector.addMono(mono.data(), frames);
        at = ready;
        const auto percent = static_cast<float>(100.0 * static_cast<double>(at - first) /
                                                static_cast<double>(last - first));
        if (percent < 100) report(percent);
    }

    const bool multiply = (flags & kBpmMultiply) != 0;
    float bpm = detector.finish(minBpm, maxBpm);
    if (multiply && bpm > 0 && bpm < 2 * minBpm) bpm *= 2;
    report(100);
    return bpm;
}

} // namespace zen::audio
