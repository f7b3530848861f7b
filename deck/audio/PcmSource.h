#pragma once

#include "AudioFile.h"

#include <cstdint>
#include <memory>
#include <string>

// One decoder behind PcmTrack: it knows the exact length before the first read and hands out
// 16-bit frames already mixed to the track's channel count.
namespace zen::audio {

class PcmSource {
public:
    virtual ~PcmSource() = default;

    virtual int channels() const = 0; // 1 or 2
    virtual int sampleRate() const = 0;
    virtual std::int64_t lengthFrames() const = 0;
    // Decodes up to `frames` frames into `out` (channels() interleaved); returns the count, 0 at
    // the end of the stream or where the file is damaged.
    virtual std::int64_t read(std::int16_t* out, std::int64_t frames) = 0;
};

// WAV, AIFF, FLAC and Ogg Vorbis through libsndfile; what libsndfile recognises as MPEG audio is
// handed to openMpegSource.
std::unique_ptr<PcmSource> openSndfileSource(std::shared_ptr<const AudioFile> file, bool mono,
                                             std::string* why);
// MPEG audio (MP3, MP2, MP1) through libmpg123, resynchronising past damaged stretches.
std::unique_ptr<PcmSource> openMpegSource(std::shared_ptr<const AudioFile> file, bool mono,
                                          std::string* why);
// Tracker modules through libopenmpt, rendered at 44100 Hz.
std::unique_ptr<PcmSource> openModuleSource(std::shared_ptr<const AudioFile> file, bool mono,
                                            std::string* why);

// Decoded bytes are addressed by signed 32-bit positions.
inline constexpr std::int64_t kMaxDecodedBytes = 0x7fffffff;

} // namespace zen::audio
