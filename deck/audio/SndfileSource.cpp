#include "ChannelMix.h"
#include "PcmSource.h"

#include <algorithm>
#include <sndfile.h>
#include <vector>

namespace zen::audio {

namespace {

constexpr int kMaxChannels = 64;
constexpr int kMinRate = 1000;
constexpr int kMaxRate = 768000;
constexpr std::int64_t kScratchFrames = 4096;

sf_count_t ioLength(void* user) {
    return static_cast<FileCursor*>(user)->file().size();
}
sf_count_t ioSeek(sf_count_t offset, int whence, void* user) {
    return static_cast<FileCursor*>(user)->seek(offset, whence);
}
sf_count_t ioRead(void* dst, sf_count_t bytes, void* user) {
    return static_cast<FileCursor*>(user)->read(dst, bytes);
}
sf_count_t ioWrite(const void*, sf_count_t, void*) {
    return 0;
}
sf_count_t ioTell(void* user) {
    return static_cast<FileCursor*>(user)->position();
}

SF_VIRTUAL_IO virtualIo{ioLength, ioSeek, ioRead, ioWrite, ioTell};

// Bytes per sample of the uncompressed encodings, 0 for compressed ones.
int pcmSampleBytes(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
        return 1;
    case SF_FORMAT_PCM_16:
        return 2;
    case SF_FORMAT_PCM_24:
        return 3;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
        return 4;
    case SF_FORMAT_DOUBLE:
        return 8;
    default:
        return 0;
    }
}

bool fail(std::string* why, const char* reason) {
    if (why) *why = reason;
    return false;
}

class SndfileSource final : public PcmSource {
public:
    explicit SndfileSource(std::shared_ptr<const AudioFile> file)
        : file_(std::move(file)), cursor_(file_) {}
    ~SndfileSource() override {
        if (sf_) sf_close(sf_);
    }

    // False with *mpeg set when the file is MPEG audio, which another decoder plays.
    bool open(bool mono, std::string* why, bool* mpeg);
    // Frames of a stream that does not tell its length, counted until past `limit`; -1 when it
    // cannot be read.
    std::int64_t countByDecoding(std::int64_t limit) const;

    int channels() const override { return mix_->outChannels(); }
    int sampleRate() const override { return rate_; }
    std::int64_t lengthFrames() const override { return length_; }

    std::int64_t read(std::int16_t* out, std::int64_t frames) override {
        if (direct_) return std::max<sf_count_t>(0, sf_readf_short(sf_, out, frames));
        std::int64_t done = 0;
        while (done < frames) {
            const sf_count_t want = std::min(frames - done, kScratchFrames);
            const sf_count_t got = sf_readf_float(sf_, scratch_.data(), want);
            if (got <= 0) break;
            mix_->mix(scratch_.data(), out + done * mix_->outChannels(), got);
            done += got;
        }
        return done;
    }

private:
    std::shared_ptr<const AudioFile> file_;
    FileCursor cursor_;
    SNDFILE* sf_ = nullptr;
    std::unique_ptr<ChannelMix> mix_;
    int rate_ = 0;
    std::int64_t length_ = 0;
    // 16-bit data that needs no mixing is read as it is; everything else goes through floats,
    // which libsndfile scales to full scale 1.0 (its float-to-short reading would not scale
    // float files at all).
    bool direct_ = false;
    std::vector<float> scratch_;
};

bool SndfileSource::open(bool mono, std::string* why, bool* mpeg) {
    SF_INFO info{};
    sf_ = sf_open_virtual(&virtualIo, SFM_READ, &info, &cursor_);
    if (!sf_) return fail(why, "not a playable audio file");
    // libsndfile decodes MPEG only up to its own length estimate, and stops at damage.
    *mpeg = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG;
    if (*mpeg) return false;
    if (info.channels < 1 || info.channels > kMaxChannels || info.samplerate < kMinRate ||
        info.samplerate > kMaxRate)
        return fail(why, "unsupported channel count or sample rate");
    rate_ = info.samplerate;

    std::vector<int> positions(static_cast<size_t>(info.channels), 0);
    if (sf_command(sf_, SFC_GET_CHANNEL_MAP_INFO, positions.data(),
                   static_cast<int>(positions.size() * sizeof(int))) != SF_TRUE)
        positions.clear();
    const int type = info.format & SF_FORMAT_TYPEMASK;
    mix_ = std::make_unique<ChannelMix>(
        info.channels, positions, type == SF_FORMAT_OGG ? ChannelOrder::Vorbis : ChannelOrder::Wave,
        mono);
    const std::int64_t maxFrames = kMaxDecodedBytes / (2 * mix_->outChannels());

    std::int64_t frames = info.frames;
    if (frames == SF_COUNT_MAX) {
        frames = countByDecoding(maxFrames); // a stream written without its length, as FLAC may be
    } else if (const int bytes = pcmSampleBytes(info.format); bytes > 0 && type != SF_FORMAT_FLAC) {
        // Uncompressed data cannot hold more frames than the file has bytes for, whatever the
        // header claims. (FLAC names its encodings like PCM but compresses them.)
        frames = std::min<std::int64_t>(frames, file_->size() / (bytes * info.channels));
    }
    if (frames <= 0) return fail(why, "no audio in the file");
    if (frames > maxFrames) return fail(why, "too long: positions would not fit 32 bits");
    length_ = frames;
    direct_ = mix_->passthrough() && (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16;
    if (!direct_) scratch_.resize(static_cast<size_t>(kScratchFrames * info.channels));
    return true;
}

std::int64_t SndfileSource::countByDecoding(std::int64_t limit) const {
    FileCursor cursor(file_);
    SF_INFO info{};
    SNDFILE* counter = sf_open_virtual(&virtualIo, SFM_READ, &info, &cursor);
    if (!counter) return -1;
    std::vector<std::int16_t> scratch(static_cast<size_t>(kScratchFrames * info.channels));
    std::int64_t frames = 0;
    sf_count_t got;
    while (frames <= limit && (got = sf_readf_short(counter, scratch.data(), kScratchFrames)) > 0)
        frames += got;
    sf_close(counter);
    return frames;
}

} // namespace

std::unique_ptr<PcmSource> openSndfileSource(std::shared_ptr<const AudioFile> file, bool mono,
                                             std::string* why) {
    auto source = std::make_unique<SndfileSource>(file);
    bool mpeg = false;
    if (source->open(mono, why, &mpeg)) return source;
    return mpeg ? openMpegSource(std::move(file), mono, why) : nullptr;
}

} // namespace zen::audio
