#include "DecodedFile.h"

#include <sndfile.h>

namespace zen::bench {

std::unique_ptr<DecodedFile> DecodedFile::open(const std::string& path, double maxSeconds) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return nullptr;
    auto track = std::make_unique<DecodedFile>();
    // Stereo as the engine keeps it; more channels would be mixed down there, so keep two.
    track->channels_ = info.channels == 1 ? 1 : 2;
    track->rate_ = info.samplerate;
    const auto wanted = static_cast<sf_count_t>(maxSeconds * info.samplerate);
    std::vector<std::int16_t> block(4096 * static_cast<std::size_t>(info.channels));
    while (track->frames_ < wanted) {
        const sf_count_t got = sf_readf_short(file, block.data(), 4096);
        if (got <= 0) break;
        for (sf_count_t i = 0; i < got; ++i)
            for (int c = 0; c < track->channels_; ++c)
                track->pcm_.push_back(block[static_cast<std::size_t>(i * info.channels + c)]);
        track->frames_ += got;
    }
    sf_close(file);
    return track->frames_ > 0 ? std::move(track) : nullptr;
}

std::vector<float> DecodedFile::mono() const {
    std::vector<float> out(static_cast<std::size_t>(frames_));
    for (std::size_t i = 0; i < out.size(); ++i) {
        float sum = 0;
        for (int c = 0; c < channels_; ++c)
            sum += pcm_[i * static_cast<std::size_t>(channels_) + static_cast<std::size_t>(c)];
        out[i] = sum / (32768.0f * static_cast<float>(channels_));
    }
    return out;
}

} // namespace zen::bench
