#include "PcmSource.h"

#include <mpg123.h>

#include <algorithm>
#include <cstring>

// MPEG audio (layers 1 to 3) straight through libmpg123, frame by frame. Two passes share the
// same frame filter: one at open counts the samples, the other decodes them, so the length known
// at the load is the length that plays, whatever the file's headers claim.
namespace zen::audio {

namespace {

// The decoder's synthesis delay: a LAME tag's encoder delay and padding are counted on top of it.
constexpr std::int64_t kSynthesisDelay = 529;
constexpr int kMaxFrameSamples = 1152;

ssize_t readCallback(void* handle, void* dst, size_t bytes) {
    return static_cast<ssize_t>(
        static_cast<FileCursor*>(handle)->read(dst, static_cast<std::int64_t>(bytes)));
}

off_t seekCallback(void* handle, off_t offset, int whence) {
    return static_cast<off_t>(static_cast<FileCursor*>(handle)->seek(offset, whence));
}

bool fail(std::string* why, const char* reason) {
    if (why) *why = reason;
    return false;
}

struct FrameFormat {
    int version = -1;
    int layer = 0;
    long rate = 0;
    int channels = 0;
    bool operator==(const FrameFormat&) const = default;
};

// The frames of one pass over the file. Junk between frames is searched through to its end
// (libmpg123 gives up after 1 KB by default). Random bytes hold false frame headers, which would
// play as bursts of noise: frames whose version, layer, rate or channel count differ from the
// first one's are skipped, and so is a frame that does not start where the previous one ended.
class MpegFrames {
public:
    explicit MpegFrames(std::shared_ptr<const AudioFile> file) : cursor_(std::move(file)) {}
    ~MpegFrames() {
        if (handle_) {
            mpg123_close(handle_);
            mpg123_delete(handle_);
        }
    }
    MpegFrames(const MpegFrames&) = delete;
    MpegFrames& operator=(const MpegFrames&) = delete;

    bool open(bool mono) {
        static const bool ready = mpg123_init() == MPG123_OK;
        if (!ready || !(handle_ = mpg123_new(nullptr, nullptr))) return false;
        mono_ = mono;
        // Gapless trimming is done here, on the filtered frames: libmpg123 counts every frame it
        // parses, false ones included.
        long flags = MPG123_QUIET | MPG123_SKIP_ID3V2;
        if (mono) flags |= MPG123_MONO_MIX;
        if (mpg123_param(handle_, MPG123_FLAGS, flags, 0) != MPG123_OK ||
            mpg123_param(handle_, MPG123_RESYNC_LIMIT, -1, 0) != MPG123_OK ||
            mpg123_format_none(handle_) != MPG123_OK)
            return false;
        const long* rates = nullptr;
        size_t count = 0;
        mpg123_rates(&rates, &count);
        const int layouts = mono ? MPG123_MONO : MPG123_MONO | MPG123_STEREO;
        for (size_t i = 0; i < count; ++i)
            mpg123_format(handle_, rates[i], layouts, MPG123_ENC_SIGNED_16);
        return mpg123_replace_reader_handle(handle_, readCallback, seekCallback, nullptr) ==
                   MPG123_OK &&
               mpg123_open_handle(handle_, &cursor_) == MPG123_OK;
    }

    // Moves to the next frame of the stream and returns its samples per channel; 0 at the end.
    int next() {
        for (;;) {
            const int result = mpg123_framebyframe_next(handle_);
            if (result != MPG123_OK && result != MPG123_NEW_FORMAT) return 0;
            mpg123_frameinfo info{};
            if (mpg123_info(handle_, &info) != MPG123_OK) return 0;
            const FrameFormat frame{info.version, info.layer, info.rate,
                                    mono_ || info.mode == MPG123_M_MONO ? 1 : 2};
            const std::int64_t start = mpg123_framepos(handle_);
            const bool adjacent = start == previousEnd_;
            previousEnd_ = start + info.framesize;
            if (format_.layer == 0) {
                format_ = frame;
                // The LAME tag, if any, has been read with the first frame.
                mpg123_getstate(handle_, MPG123_ENC_DELAY, &delay_, nullptr);
                mpg123_getstate(handle_, MPG123_ENC_PADDING, &padding_, nullptr);
            } else if (!adjacent) {
                // Found by searching through junk: a false header, or the first real frame after
                // damage, whose layer III bit reservoir is lost anyway.
                continue;
            }
            if (frame == format_) return std::clamp(mpg123_spf(handle_), 0, kMaxFrameSamples);
        }
    }

    // Decodes the current frame of `samples` samples per channel into out; a frame that does
    // not decode is silence, so that the stream keeps the length counted for it.
    void decode(std::int16_t* out, int samples) {
        const size_t want = static_cast<size_t>(samples * format_.channels) * sizeof(std::int16_t);
        off_t number = 0;
        unsigned char* audio = nullptr;
        size_t bytes = 0;
        if (mpg123_framebyframe_decode(handle_, &number, &audio, &bytes) != MPG123_OK || !audio)
            bytes = 0;
        bytes = std::min(bytes, want);
        if (bytes > 0) std::memcpy(out, audio, bytes);
        std::memset(reinterpret_cast<unsigned char*>(out) + bytes, 0, want - bytes);
    }

    const FrameFormat& format() const { return format_; }
    // Samples the encoder added before and after the music, from the LAME tag; -1 when unknown.
    long encoderDelay() const { return delay_; }
    long encoderPadding() const { return padding_; }

private:
    FileCursor cursor_;
    mpg123_handle* handle_ = nullptr;
    bool mono_ = false;
    FrameFormat format_;
    long delay_ = -1;
    long padding_ = -1;
    std::int64_t previousEnd_ = -1;
};

class MpegSource final : public PcmSource {
public:
    explicit MpegSource(std::shared_ptr<const AudioFile> file)
        : file_(file), frames_(std::move(file)) {}

    bool open(bool mono, std::string* why);

    int channels() const override { return frames_.format().channels; }
    int sampleRate() const override { return static_cast<int>(frames_.format().rate); }
    std::int64_t lengthFrames() const override { return end_ - begin_; }

    std::int64_t read(std::int16_t* out, std::int64_t frames) override {
        const int channels = frames_.format().channels;
        std::int64_t done = 0;
        while (done < frames && rawPosition_ < end_) {
            const std::int64_t frameEnd = bufferedFrom_ + buffered_;
            if (rawPosition_ >= frameEnd) {
                bufferedFrom_ = frameEnd;
                buffered_ = frames_.next();
                if (buffered_ == 0) break; // the file changed under us: end here
                frames_.decode(frame_, static_cast<int>(buffered_));
                continue;
            }
            if (rawPosition_ < begin_) {
                rawPosition_ = std::min(begin_, frameEnd);
                continue;
            }
            const std::int64_t to = std::min({frameEnd, end_, rawPosition_ + (frames - done)});
            std::memcpy(out + done * channels, frame_ + (rawPosition_ - bufferedFrom_) * channels,
                        static_cast<size_t>((to - rawPosition_) * channels) * sizeof(std::int16_t));
            done += to - rawPosition_;
            rawPosition_ = to;
        }
        return done;
    }

private:
    std::shared_ptr<const AudioFile> file_;
    MpegFrames frames_;
    std::int64_t begin_ = 0; // raw samples of the filtered stream that play: [begin_, end_)
    std::int64_t end_ = 0;
    std::int64_t rawPosition_ = 0;
    std::int64_t bufferedFrom_ = 0;
    std::int64_t buffered_ = 0;
    std::int16_t frame_[2 * kMaxFrameSamples] = {};
};

bool MpegSource::open(bool mono, std::string* why) {
    MpegFrames counter(file_);
    if (!counter.open(mono) || !frames_.open(mono)) return fail(why, "not a playable MPEG file");
    const std::int64_t maxFrames = kMaxDecodedBytes / (2 * (mono ? 1 : 2));
    std::int64_t total = 0;
    while (const int samples = counter.next()) {
        total += samples;
        if (total > maxFrames + kMaxFrameSamples + kSynthesisDelay)
            return fail(why, "too long: positions would not fit 32 bits");
    }
    if (counter.format().layer == 0) return fail(why, "no audio in the file");
    begin_ = 0;
    end_ = total;
    if (counter.encoderDelay() >= 0 && counter.encoderPadding() >= 0) {
        begin_ = std::min(total, counter.encoderDelay() + kSynthesisDelay);
        end_ = std::clamp(total - counter.encoderPadding() + kSynthesisDelay, begin_, total);
    }
    if (end_ <= begin_) return fail(why, "no audio in the file");
    if (end_ - begin_ > maxFrames) return fail(why, "too long: positions would not fit 32 bits");
    // The decoding pass must meet the same stream: its first frame is read now.
    bufferedFrom_ = 0;
    buffered_ = frames_.next();
    if (buffered_ == 0 || !(frames_.format() == counter.format()))
        return fail(why, "not a playable MPEG file");
    frames_.decode(frame_, static_cast<int>(buffered_));
    return true;
}

} // namespace

std::unique_ptr<PcmSource> openMpegSource(std::shared_ptr<const AudioFile> file, bool mono,
                                          std::string* why) {
    auto source = std::make_unique<MpegSource>(std::move(file));
    if (!source->open(mono, why)) return nullptr;
    return source;
}

} // namespace zen::audio
