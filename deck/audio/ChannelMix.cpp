#include "ChannelMix.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <sndfile.h>

namespace zen::audio {

namespace {

enum class Side { Left, Right, Centre, Lfe };

constexpr float kCentreGain = 0.70710678f; // -3 dB, so a centre source keeps its power

Side sideOf(int position) {
    switch (position) {
    case SF_CHANNEL_MAP_LEFT:
    case SF_CHANNEL_MAP_FRONT_LEFT:
    case SF_CHANNEL_MAP_REAR_LEFT:
    case SF_CHANNEL_MAP_FRONT_LEFT_OF_CENTER:
    case SF_CHANNEL_MAP_SIDE_LEFT:
    case SF_CHANNEL_MAP_TOP_FRONT_LEFT:
    case SF_CHANNEL_MAP_TOP_REAR_LEFT:
        return Side::Left;
    case SF_CHANNEL_MAP_RIGHT:
    case SF_CHANNEL_MAP_FRONT_RIGHT:
    case SF_CHANNEL_MAP_REAR_RIGHT:
    case SF_CHANNEL_MAP_FRONT_RIGHT_OF_CENTER:
    case SF_CHANNEL_MAP_SIDE_RIGHT:
    case SF_CHANNEL_MAP_TOP_FRONT_RIGHT:
    case SF_CHANNEL_MAP_TOP_REAR_RIGHT:
        return Side::Right;
    case SF_CHANNEL_MAP_LFE:
        return Side::Lfe;
    default:
        return Side::Centre; // centres, mono, ambisonic and unknown positions
    }
}

// The layouts a container implies when the file carries no channel map.
std::vector<Side> defaultLayout(int channels, ChannelOrder order) {
    using enum Side;
    static const std::vector<Side> wave[] = {
        {},
        {Centre},
        {Left, Right},
        {Left, Right, Centre},
        {Left, Right, Left, Right},
        {Left, Right, Centre, Left, Right},
        {Left, Right, Centre, Lfe, Left, Right},
        {Left, Right, Centre, Lfe, Centre, Left, Right},
        {Left, Right, Centre, Lfe, Left, Right, Left, Right},
    };
    static const std::vector<Side> vorbis[] = {
        {},
        {Centre},
        {Left, Right},
        {Left, Centre, Right},
        {Left, Right, Left, Right},
        {Left, Centre, Right, Left, Right},
        {Left, Centre, Right, Left, Right, Lfe},
        {Left, Centre, Right, Left, Right, Centre, Lfe},
        {Left, Centre, Right, Left, Right, Left, Right, Lfe},
    };
    const auto& table = order == ChannelOrder::Vorbis ? vorbis : wave;
    std::vector<Side> sides = table[std::min(channels, 8)];
    sides.resize(static_cast<size_t>(channels), Centre);
    return sides;
}

} // namespace

ChannelMix::ChannelMix(int inChannels, const std::vector<int>& positions, ChannelOrder order,
                       bool mono)
    : in_(inChannels), out_(mono || inChannels == 1 ? 1 : 2), passthrough_(inChannels == out_),
      weights_(static_cast<size_t>(out_ * in_), 0.0f) {
    const bool mapped = static_cast<int>(positions.size()) == in_ &&
                        std::any_of(positions.begin(), positions.end(), [](int p) { return p; });
    std::vector<Side> sides;
    if (in_ == 2)
        sides = {Side::Left, Side::Right};
    else if (mapped)
        std::transform(positions.begin(), positions.end(), std::back_inserter(sides), sideOf);
    else
        sides = defaultLayout(in_, order);

    const auto inputs = static_cast<std::size_t>(in_);
    std::vector<float> left(inputs), right(inputs);
    for (std::size_t c = 0; c < inputs; ++c) {
        switch (sides[c]) {
        case Side::Left:
            left[c] = 1.0f;
            break;
        case Side::Right:
            right[c] = 1.0f;
            break;
        case Side::Centre:
            left[c] = right[c] = kCentreGain;
            break;
        case Side::Lfe:
            break;
        }
    }
    for (auto* row : {&left, &right}) {
        float sum = 0;
        for (float w : *row)
            sum += w;
        if (sum == 0)
            std::fill(row->begin(), row->end(), 1.0f / static_cast<float>(in_));
        else if (sum > 1)
            for (float& w : *row)
                w /= sum;
    }
    for (std::size_t c = 0; c < inputs; ++c) {
        if (out_ == 1) {
            weights_[c] = in_ == 1 ? 1.0f : (left[c] + right[c]) / 2;
        } else {
            weights_[c] = left[c];
            weights_[inputs + c] = right[c];
        }
    }
}

void ChannelMix::mix(const float* in, std::int16_t* out, std::int64_t frames) const {
    for (std::int64_t f = 0; f < frames; ++f, in += in_) {
        for (int o = 0; o < out_; ++o) {
            const float* w = &weights_[static_cast<size_t>(o * in_)];
            float acc = 0;
            for (int c = 0; c < in_; ++c)
                acc += w[c] * in[c];
            *out++ =
                static_cast<std::int16_t>(std::clamp(std::lrint(acc * 32768.0f), -32768L, 32767L));
        }
    }
}

} // namespace zen::audio
