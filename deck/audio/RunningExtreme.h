#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

// The least or the largest of each bin over a window of frames centred on each frame, fed a frame
// of bins at a time as the audio arrives, so that the work is done while the decoder still runs
// and not once it has finished. Van Herk's running extreme: the frames fall into blocks of the
// window's width, each block keeps its running extreme forwards and backwards, and a window, which
// spans at most two blocks, takes the extreme of the two; three comparisons a value whatever the
// width. Where a window (clipped at the ends of the stream) falls within one block, the whole
// block counts: at either end a frame may see a few frames further than half the width.
namespace zen::audio {

struct Least {
    float operator()(float a, float b) const { return std::min(a, b); }
};
struct Largest {
    float operator()(float a, float b) const { return std::max(a, b); }
};

template <typename Pick> class RunningExtreme {
public:
    // Its loops run over whole blocks of this many bins, which the compiler turns into vector
    // instructions.
    static constexpr std::size_t kBlock = 8;

    RunningExtreme() = default;
    // bins a whole number of kBlock, width odd.
    RunningExtreme(std::size_t bins, std::size_t width)
        : bins_(bins), width_(width), half_(width / 2), ahead_(kRing * width * bins),
          behind_(kRing * width * bins), result_(bins) {}

    // Takes the next frame and hands out, in order, each frame whose window it completes, as
    // out(const float* values).
    template <typename Out> void push(const float* frame, Out&& out) {
        const std::size_t t = count_++;
        std::copy_n(frame, bins_, at(ahead_, t));
        std::copy_n(frame, bins_, at(behind_, t));
        if (t % width_ != 0) pickInto(at(ahead_, t), at(ahead_, t - 1));
        if (t % width_ == width_ - 1) backwards(t + 1 - width_, t);
        // A frame is ready once its window's last frame is here and the block of its first is
        // complete.
        while (emitted_ + half_ <= t && blockEnd(first(emitted_)) <= t)
            emit(emitted_++, t, out);
    }

    // Hands out the frames left, whose windows the end of the stream clips.
    template <typename Out> void finish(Out&& out) {
        if (count_ == 0) return;
        const std::size_t last = count_ - 1;
        if (count_ % width_ != 0) backwards(last - last % width_, last);
        while (emitted_ < count_)
            emit(emitted_++, last, out);
    }

private:
    // Frames kept: a window's first lies less than a width before the newest.
    static constexpr std::size_t kRing = 2;

    float* at(std::vector<float>& ring, std::size_t t) {
        return &ring[t % (kRing * width_) * bins_];
    }
    std::size_t first(std::size_t t) const { return t > half_ ? t - half_ : 0; }
    std::size_t blockEnd(std::size_t t) const { return t - t % width_ + width_ - 1; }

    void pickInto(float* __restrict into, const float* __restrict with) const {
        const Pick pick;
        for (std::size_t k = 0; k < bins_; k += kBlock)
            for (std::size_t j = 0; j < kBlock; ++j)
                into[k + j] = pick(into[k + j], with[k + j]);
    }

    // The backward running extreme over frames [from, to] of one block.
    void backwards(std::size_t from, std::size_t to) {
        for (std::size_t t = to; t-- > from;)
            pickInto(at(behind_, t), at(behind_, t + 1));
    }

    template <typename Out> void emit(std::size_t t, std::size_t last, Out& out) {
        float* values = result_.data();
        std::copy_n(at(behind_, first(t)), bins_, values);
        pickInto(values, at(ahead_, std::min(last, t + half_)));
        out(static_cast<const float*>(values));
    }

    std::size_t bins_ = 0, width_ = 1, half_ = 0;
    std::vector<float> ahead_, behind_; // rings of kRing * width frames
    std::vector<float> result_;
    std::size_t count_ = 0, emitted_ = 0;
};

// An opening: the least over the window, then the largest of that, which removes every peak shorter
// than the window and leaves a step where it is.
class RunningOpening {
public:
    static constexpr std::size_t kBlock = RunningExtreme<Least>::kBlock;

    RunningOpening() = default;
    RunningOpening(std::size_t bins, std::size_t width)
        : least_(bins, width), largest_(bins, width) {}

    template <typename Out> void push(const float* frame, Out&& out) {
        least_.push(frame, [&](const float* least) { largest_.push(least, out); });
    }
    template <typename Out> void finish(Out&& out) {
        least_.finish([&](const float* least) { largest_.push(least, out); });
        largest_.finish(out);
    }

private:
    RunningExtreme<Least> least_;
    RunningExtreme<Largest> largest_;
};

} // namespace zen::audio
