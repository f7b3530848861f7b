#pragma once

#include "deck/audio/EngineShared.h"

#include <cstddef>
#include <memory>
#include <vector>

struct soxr;

// The frames a voice played, at 44100 Hz, for the spectrum: its bins lie at k x 44100 / 2048 Hz
// at every output rate. A voice keeps its scope at the rate it renders at; at another rate than
// 44100 Hz the reader converts what the voice played since the last read, and keeps the result.
// So the audio thread does no conversion at all (it cost a call into libsoxr at every period of
// the server, 7 us at 48 kHz on a virtual machine), and nothing is converted while no spectrum
// is read. Window thread only (the thread that reads the spectrum).
namespace zen::audio {

class ScopeReader {
public:
    static constexpr double kRate = 44100;
    // The most frames latest() gives.
    static constexpr std::size_t kMaxCount = 4096;

    // Fills out[0..count) with the latest frames of `ring` at 44100 Hz, oldest first; zeros
    // before anything was played.
    void latest(const ScopeRing& ring, float* out, std::size_t count);

private:
    // Starts afresh from what the ring holds last: enough of it for kMaxCount frames.
    void restart(double rate, std::size_t written);
    // Converts ring frames [cursor_, written); false when the voice overwrote them meanwhile.
    bool convert(const ScopeRing& ring, std::size_t written);
    void append(const float* frames, std::size_t count);

    struct Deleter {
        void operator()(soxr* converter) const;
    };
    std::unique_ptr<soxr, Deleter> converter_;
    double rate_ = 0;        // the ring's rate the converter was made for
    std::size_t cursor_ = 0; // the next ring frame to convert
    std::vector<float> in_;  // scratch: ring frames
    std::vector<float> out_; // scratch: converted frames
    // The last kMaxCount frames converted, a ring whose oldest frame is at head_.
    std::vector<float> converted_;
    std::size_t head_ = 0;
};

} // namespace zen::audio
