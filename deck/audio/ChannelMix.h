#pragma once

#include <cstdint>
#include <vector>

// Folds a file's channels to the one or two the deck plays: stereo passes through, a mono file
// stays mono, surround folds to stereo by channel position (centre at -3 dB on both sides, LFE
// dropped, each side scaled so that it cannot clip), and the mono flag folds everything to one.
namespace zen::audio {

// Channel positions as libsndfile names them (SF_CHANNEL_MAP_*); 0 means unknown.
enum class ChannelOrder { Wave, Vorbis };

class ChannelMix {
public:
    // `positions` holds one libsndfile channel-map value per input channel, or is empty when the
    // file carries no map; the usual order of the container is assumed then.
    ChannelMix(int inChannels, const std::vector<int>& positions, ChannelOrder order, bool mono);

    int outChannels() const { return out_; }
    // True when the input already has the output layout and needs no mixing.
    bool passthrough() const { return passthrough_; }

    // `in` holds samples at full scale 1.0; the result is rounded and clipped to 16 bits.
    void mix(const float* in, std::int16_t* out, std::int64_t frames) const;

private:
    int in_;
    int out_;
    bool passthrough_;
    std::vector<float> weights_; // out_ rows of in_ weights
};

} // namespace zen::audio
