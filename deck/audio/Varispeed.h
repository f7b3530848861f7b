#pragma once

#include <cstddef>
#include <cstdint>

struct soxr;

// Varispeed resampling to the output rate through libsoxr's variable-rate mode, for the audio
// thread: nothing here allocates after construction (checked by the engine tests).
//
// libsoxr cannot be reset without allocating, so the converter runs for the life of the object.
// A jump in the source is a splice in its input: the owner's feed hands it other frames from the
// next input frame on, and a restart (plan() and run()) renders, unheard, the old frames still in
// its filter and brings the next output exactly onto the wanted position.
//
// libsoxr does not say where its output lies on its input; next_ follows it from a model of its
// timing, measured on the library (and checked by the engine tests): the first output sits
// lead(ratio) input frames before the first input frame, each output moves on by the ratio in
// force, and a new ratio moves the outputs after it on by kChangeLag times the old ratio minus
// the new one.
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
    static std::size_t pull(void* self, const void** data, std::size_t requested);
    static double lead(double ratio);

    soxr* converter_ = nullptr;
    const int channels_;
    const Feed feed_;
    void* const context_;
    double ratio_;
    std::int64_t fed_ = 0; // input frames handed over: the index of the next one
    double next_;          // input position, on the same count, of the next output frame
    float input_[2 * kFeedFrames] = {};
    bool warming_ = false; // zeros go in while the constructor grows the converter's buffers
    // The restart planned: the ratio to restore, the one to render the unheard frames at, and
    // how many there are.
    double plannedRatio_ = 1;
    double warpedRatio_ = 1;
    int unheard_ = 0;
};

} // namespace zen::audio
