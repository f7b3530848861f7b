#pragma once

#include <cstddef>

// Tempo of a piece of music from its mono samples, fed in chunks as they are decoded.
namespace zen::audio {

class TempoDetector {
public:
    explicit TempoDetector(int sampleRate);
    ~TempoDetector();
    TempoDetector(const TempoDetector&) = delete;
    TempoDetector& operator=(const TempoDetector&) = delete;

    void addMono(const float* samples, std::size_t count);
    // Beats per minute within [minBpm, maxBpm], or 0 when no tempo was found (silence).
    float finish(float minBpm, float maxBpm);

private:
    struct Impl;
    Impl* impl_;
};

} // namespace zen::audio
