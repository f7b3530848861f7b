#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

// The decoded 16-bit PCM of one file. A background worker decodes into one buffer that is
// allocated once, at open, for the whole exact length and never moves, so the audio callback can
// read any frame below decodedFrames() without locking: a byte position of the engine is simply an
// offset into this buffer, seeks and cue stutter are memory reads and loops are sample-exact.
namespace zen::audio {

class PcmTrack {
public:
    enum class Kind { Stream, Module };

    // Opens and starts decoding. Returns nullptr (with a reason in *why when given) for anything
    // that is not a regular file, cannot be read, cannot be decoded, or whose decoded length would
    // not fit 2^31 - 1 bytes. mono mixes every channel to one.
    static std::shared_ptr<PcmTrack> open(const std::string& path, Kind kind, bool mono,
                                          std::string* why = nullptr);

    // Stops and joins the decode worker and frees the buffer: never let the last reference go on
    // the audio thread.
    virtual ~PcmTrack() = default;

    virtual int channels() const = 0;   // 1 or 2
    virtual int sampleRate() const = 0; // the file's own rate; 44100 for modules
    // Exact length in frames, known when open returns.
    virtual std::int64_t lengthFrames() const = 0;
    // Frames ready from the start, interleaved in data(); grows until the decode ends. Safe from
    // any thread (acquire).
    virtual std::int64_t decodedFrames() const = 0;
    // True once the worker has stopped; if it stopped early (a damaged file), the track ends at
    // decodedFrames().
    virtual bool finished() const = 0;
    virtual const std::int16_t* data() const = 0;
    // Blocks the caller until `frames` are decoded or the decode has ended; returns
    // decodedFrames().
    virtual std::int64_t waitDecoded(std::int64_t frames) const = 0;
};

} // namespace zen::audio
