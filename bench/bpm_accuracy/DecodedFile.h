#pragma once

#include "deck/audio/PcmTrack.h"

#include <memory>
#include <string>
#include <vector>

// A whole file decoded by libsndfile into memory before use: the stand-in for the engine's decode
// when detectors are compared on identical input.
namespace zen::bench {

class DecodedFile : public audio::PcmTrack {
public:
    // nullptr when libsndfile cannot read the file. At most maxSeconds are decoded.
    static std::unique_ptr<DecodedFile> open(const std::string& path, double maxSeconds);

    int channels() const override { return channels_; }
    int sampleRate() const override { return rate_; }
    std::int64_t lengthFrames() const override { return frames_; }
    std::int64_t decodedFrames() const override { return frames_; }
    bool finished() const override { return true; }
    const std::int16_t* data() const override { return pcm_.data(); }
    std::int64_t waitDecoded(std::int64_t) const override { return frames_; }

    // The first seconds mixed to mono, as floats.
    std::vector<float> mono() const;

private:
    int channels_ = 0;
    int rate_ = 0;
    std::int64_t frames_ = 0;
    std::vector<std::int16_t> pcm_;
};

} // namespace zen::bench
