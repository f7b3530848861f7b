#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct soxr;

// Varispeed resampling to the output rate, for the audio thread: nothing here allocates after
// construction (checked by the engine tests).
//
// Two stages. The first, libsoxr's fixed-rate converter, raises the source's rate by
// kOversampling through a steep linear-phase filter flat to 97.5 % of the source's Nyquist and
// stopped from the Nyquist on: the steep part of the work, done by fast convolution. The second,
// our own, reads that at any ratio through the kernels of VarispeedKernels: each output is a dot
// product of the frames around its place with the kernel's taps for the fraction of a frame it
// lies at. So a tone near the source's Nyquist passes at any ratio (18 kHz of output at -16 % is
// 97.2 % of it), its images are stopped, and whatever a ratio takes past the output's Nyquist is
// stopped before it folds back.
//
// The fixed-rate stage's output j lies on its input j / kOversampling, and the second stage's
// outputs lie where their place says: exactly on the source frames the owner counts, at every
// ratio and across every change of it. libsoxr cannot be reset without allocating, so the first
// stage runs for the life of the object; a jump in the source is a splice in its input: the
// owner's feed hands it other frames from the next input frame on, and a restart (plan() and
// run()) moves the next output past the frames the filter still mixes with the old input.
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

    bool ok() const { return oversampler_ != nullptr; }
    double ratio() const { return ratio_; }
    // Input frames per output frame from the next output on; the next output keeps its place.
    void setRatio(double ratio);
    // Renders `frames` interleaved output frames.
    void render(float* out, int frames);

    // A restart in two steps. plan() takes the source position wanted for the next output and
    // returns the source frame the owner's feed must go on from; the owner points its feed there,
    // then run() puts the next output on the position, past what the old input still reaches.
    std::int64_t plan(double position);
    void run();

private:
    static std::size_t pullSource(void* self, const void** data, std::size_t requested);
    // Makes the oversampled frames from `first` to `last` (absolute indices) readable.
    void ensure(std::int64_t first, std::int64_t last);
    // Taps the kernel at the current ratio spans, a multiple of four.
    int tapsFor(double ratio) const;
    // The steep kernel stretched to `step`, in rows as the wide one.
    void stretchSteep(double step);
    // One output from the frames from `x` on, through rows of `taps` taps for `phases` phases.
    static void dotFrame(const float* x, double phase, const float* rows, int taps, int phases,
                         float* out);

    soxr* oversampler_ = nullptr;
    const int channels_;
    const Feed feed_;
    void* const context_;
    double ratio_ = 1;
    double step_ = 1; // oversampled frames per output frame
    int taps_ = 0;
    std::int64_t fed_ = 0; // source frames handed over: the index of the next one
    double place_ = 0;     // the next output's place, in oversampled frames
    // Oversampled stereo frames from base_ on, fill_ of them, in room for capacity_.
    std::vector<float> frames_;
    std::int64_t base_ = 0;
    int fill_ = 0;
    int capacity_ = 0;
    int maxTaps_ = 0;
    const float* wide_;
    const float* steep_;
    // The steep kernel as last stretched, for steps up to stretchedFor_.
    std::vector<float> stretched_;
    double stretchedFor_ = 0;
    std::vector<float> input_;
    bool warming_ = false; // zeros go in while the constructor grows libsoxr's buffers
    double plannedPlace_ = 0;
};

} // namespace zen::audio
