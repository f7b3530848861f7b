#pragma once

#include <cstddef>
#include <memory>

// Tempo of a piece of music from its mono samples, fed in chunks as they are decoded. The samples
// become an onset envelope as they arrive; finish() finds the metrical level from the envelope's
// autocorrelation and then the exact tempo from the beat grid that fits the whole stretch best.
namespace zen::audio {

class TempoDetector {
public:
    explicit TempoDetector(int sampleRate);
    ~TempoDetector();
    TempoDetector(const TempoDetector&) = delete;
    TempoDetector& operator=(const TempoDetector&) = delete;

    void addMono(const float* samples, std::size_t count);
    // Beats per minute within [minBpm, maxBpm] (searched no wider than 20..400), or 0 when there
    // is no beat to find: silence, noise, a held sound, or less than three seconds of audio.
    float finish(float minBpm, float maxBpm);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace zen::audio
