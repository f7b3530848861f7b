#pragma once

#include <cstddef>
#include <cstdint>

struct soxr;

// Varispeed resampling to the output rate through libsoxr, for the audio thread: nothing here
// allocates after construction (checked by the engine tests).
//
// Two converters in a row. The first raises the source's rate by kOversampling at a fixed ratio,
// through a steep linear-phase filter flat to 97.5 % of the source's Nyquist and stopped from the
// Nyquist on; the second is libsoxr's variable-rate converter, whose own filter (flat to 91.8 % of
// the lower of its two Nyquists) then lies beyond everything the source holds. So a tone near the
// source's Nyquist passes at any ratio (18 kHz of output at -16 % is 97.2 % of it), and its images
// are stopped.
//
// libsoxr cannot be reset without allocating, so the converters run for the life of the object.
// A jump in the source is a splice in its input: the owner's feed hands it other frames from the
// next input frame on, and a restart (plan() and run()) renders, unheard, the old frames still in
// the filters and brings the next output exactly onto the wanted position.
//
// The fixed-rate stage's output j lies on its input j / kOversampling. libsoxr does not say where
// its variable-rate output lies on its input; next_ follows it from a model of its timing,
// measured on the library in its own input frames and ratio (and checked by the engine tests):
// the first output sits lead(ratio) input frames before the first input frame, each output moves
// on by the ratio in force, and a new ratio moves the outputs after it on by kChangeLag times the
// old ratio minus the new one.
namespace zen::audio {

class Varispeed {
public:
    // Fills `count` interleaved input frames; the owner decides what they are.
    using Feed = void (*)(void* context, float* frames, int count);
    static constexpr int kFeedFrames = 128;

    // `maxRatio` bounds the input frames per output frame ever asked for.
    Varispeed(int channels, double ratio, double maxRatio, Feed feed, void* context);
    ~Varispeed();
    Varispeed(const Varispeed&) = delete;
    Varispeed& operator=(const Varispeed&) = delete;

    bool ok() const { return converter_ != nullptr; }
    double ratio() const { return ratio_; }
    // Input frames per output frame from the next output on. Returns how far the input position
    // of the next output moved by it (a fraction of a frame).
    double setRatio(double ratio);
    // Renders `frames` interleaved output frames.
    void render(float* out, int frames);

    // A restart in two steps. plan() takes the source position wanted for the next output and
    // returns the source frame the owner's feed must go on from; the owner points its feed there,
    // then run() renders, unheard through `scratch` (kScratchFrames frames), what is left of the
    // old input and restores the ratio. The frames rendered are rendered at a ratio a little off,
    // chosen so that the next output then falls on the position exactly.
    std::int64_t plan(double position);
    void run(float* scratch);
    static constexpr int kScratchFrames = 128;

private:
    static std::size_t pullSource(void* self, const void** data, std::size_t requested);
    static std::size_t pullOversampled(void* self, const void** data, std::size_t requested);
    // Where the variable-rate converter's first output lies, in its own input frames.
    static double lead(double ratio);

    soxr* oversampler_ = nullptr;
    soxr* converter_ = nullptr;
    const int channels_;
    const Feed feed_;
    void* const context_;
    double ratio_;
    std::int64_t fed_ = 0; // source frames handed over: the index of the next one
    double next_;          // source position, on the same count, of the next output frame
    float input_[2 * kFeedFrames] = {};
    float oversampled_[2 * kFeedFrames] = {};
    bool warming_ = false; // zeros go in while the constructor grows the converter's buffers
    // The restart planned: the ratio to restore, the one to render the unheard frames at, and
    // how many there are.
    double plannedRatio_ = 1;
    double warpedRatio_ = 1;
    int unheard_ = 0;
};

} // namespace zen::audio
