#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <thread>
#include <type_traits>

// Everything that crosses between the window thread and the audio thread, and how:
//
//   window -> audio  Command records through one SpscQueue; the audio thread applies them at the
//                    start of its next block, so a control acts within one block (<= 256 frames).
//                    A group of commands (cue-play's play and seek) is pushed in one go, so the
//                    audio thread never sees half of it.
//   audio -> window  - Voice objects the audio thread has let go of, through a second SpscQueue
//                      (they are deleted on the window thread, never under the callback's feet);
//                    - per voice, a VoiceReport (position, rate, volume, pan, playing, level and
//                      the sequence number of the last command applied) through a SeqLock;
//                    - per voice, the last frames played (mono, at the rate the voice renders
//                      at) through a ScopeRing, for the FFT;
//                    - the CPU figure through an atomic.
//
// Neither side ever waits for the other: the audio thread only does wait-free stores and pops;
// a reader of a SeqLock or ScopeRing retries in the rare case it overlapped a write.
namespace zen::audio {

class Voice;

// Single producer, single consumer, fixed capacity, no allocation after construction.
template <typename T, std::size_t Capacity> class SpscQueue {
    static_assert((Capacity & (Capacity - 1)) == 0, "capacity must be a power of two");

public:
    bool push(const T& item) { return pushAll(&item, 1); }
    // All or nothing, made visible to the consumer at once: it pops either none or all of them.
    bool pushAll(const T* items, std::size_t count) {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (Capacity - (head - tail_.load(std::memory_order_acquire)) < count) return false;
        for (std::size_t i = 0; i < count; ++i)
            items_[(head + i) & (Capacity - 1)] = items[i];
        head_.store(head + count, std::memory_order_release);
        return true;
    }
    bool pop(T& item) {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        if (head_.load(std::memory_order_acquire) == tail) return false;
        item = items_[tail & (Capacity - 1)];
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

private:
    std::array<T, Capacity> items_{};
    alignas(64) std::atomic<std::size_t> head_{0};
    alignas(64) std::atomic<std::size_t> tail_{0};
};

// One writer publishes a small trivially copyable record; readers take a consistent copy. The
// record is held in atomic words so that an overlapping read is a retry, not a data race.
template <typename T> class SeqLock {
    static_assert(std::is_trivially_copyable_v<T>);
    static constexpr std::size_t kWords = (sizeof(T) + 7) / 8;

public:
    void write(const T& value) {
        std::uint64_t words[kWords] = {};
        std::memcpy(words, &value, sizeof(T));
        const std::uint32_t seq = seq_.load(std::memory_order_relaxed);
        seq_.store(seq + 1, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release);
        for (std::size_t i = 0; i < kWords; ++i)
            words_[i].store(words[i], std::memory_order_relaxed);
        seq_.store(seq + 2, std::memory_order_release);
    }
    T read() const {
        std::uint64_t words[kWords];
        for (int attempt = 1;; ++attempt) {
            // Readers are never the audio thread: if the writer was preempted mid-write, let it
            // run rather than spin through its time slice.
            if (attempt % 64 == 0) std::this_thread::yield();
            const std::uint32_t before = seq_.load(std::memory_order_acquire);
            if (before & 1) continue;
            for (std::size_t i = 0; i < kWords; ++i)
                words[i] = words_[i].load(std::memory_order_relaxed);
            std::atomic_thread_fence(std::memory_order_acquire);
            if (seq_.load(std::memory_order_relaxed) == before) break;
        }
        T value;
        std::memcpy(&value, words, sizeof(T));
        return value;
    }

private:
    std::atomic<std::uint32_t> seq_{0};
    std::atomic<std::uint64_t> words_[kWords] = {};
};

// The most recent mono frames of a voice. The audio thread appends; a reader copies the last
// `count` frames and retries if the writer lapped the part it was copying.
class ScopeRing {
public:
    static constexpr std::size_t kSize = 8192;

    // The frames' rate: set while no audio thread runs, read by any thread.
    void setRate(double rate) { rate_.store(rate, std::memory_order_relaxed); }
    double rate() const { return rate_.load(std::memory_order_relaxed); }
    // Frames appended so far.
    std::size_t written() const { return written_.load(std::memory_order_acquire); }

    void append(const float* mono, std::size_t count) {
        std::size_t w = written_.load(std::memory_order_relaxed);
        for (std::size_t i = 0; i < count; ++i, ++w)
            samples_[w & (kSize - 1)].store(mono[i], std::memory_order_relaxed);
        written_.store(w, std::memory_order_release);
    }
    // Fills out[0..count) oldest first (zeros before anything was written); count <= kSize / 2.
    void copyLatest(float* out, std::size_t count) const {
        for (;;) {
            const std::size_t end = written_.load(std::memory_order_acquire);
            for (std::size_t i = 0; i < count; ++i) {
                const std::size_t back = count - i;
                out[i] = back > end
                             ? 0.0f
                             : samples_[(end - back) & (kSize - 1)].load(std::memory_order_relaxed);
            }
            std::atomic_thread_fence(std::memory_order_acquire);
            if (written_.load(std::memory_order_relaxed) - end <= kSize - count) return;
        }
    }
    // Copies frames [from, from + count) of those written; false when the writer has lapped them
    // meanwhile.
    bool copy(std::size_t from, std::size_t count, float* out) const {
        for (std::size_t i = 0; i < count; ++i)
            out[i] = samples_[(from + i) & (kSize - 1)].load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        return written_.load(std::memory_order_relaxed) - from <= kSize;
    }

private:
    std::atomic<float> samples_[kSize] = {};
    std::atomic<std::size_t> written_{0};
    std::atomic<double> rate_{44100};
};

// An uninterrupted run of playback: it began at `start` (a play or a seek) and, when the voice
// has a loop, wraps from `loopEnd` back to `loopStart` (`looped` once it has done so).
struct PlayRun {
    double start = 0;
    double loopStart = 0;
    double loopEnd = 0; // at or before loopStart: no loop
    bool looped = false;

    // The source frame `delta` frames of playback after `from` (before it when negative): across
    // the loop seam either way, and never back before the run began.
    double follow(double from, double delta) const {
        const double p = from + delta;
        const double period = loopEnd - loopStart;
        if (period > 0 && from < loopEnd) {
            if (p >= loopEnd) return loopStart + std::fmod(p - loopEnd, period);
            // Once wrapped, what played before the loop start was the loop's end.
            if (looped && from >= loopStart) {
                if (p >= loopStart) return p;
                const double back = std::fmod(loopStart - p, period);
                return back == 0 ? loopStart : loopEnd - back;
            }
        }
        return from >= start ? std::max(p, start) : p;
    }
};

// What the audio thread tells about a voice after each block.
// The steady clock in ns: the time of blocks, commands and the output's calls. Wait-free.
inline std::int64_t steadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct VoiceReport {
    std::uint64_t ack = 0;        // sequence number of the last command applied to this voice
    double renderedFrom = 0;      // source frame at the start of the last block
    double renderedTo = 0;        // source frame after it: where the next block starts
    double advanced = 0;          // source frames played in it, loop wraps unfolded
    PlayRun run;                  // the run the last block belongs to
    std::int64_t blockTimeNs = 0; // steady clock when the last block was rendered
    double rate = 0;              // current playback rate, Hz
    float volume = 100;
    float pan = 0;
    std::int32_t level = 0; // packed left | right << 16, 0..128 each
    bool playing = false;
};

// A command from the window thread. Unused fields are ignored by the command type.
struct Command {
    enum class Type : std::uint8_t {
        AddVoice,      // voice
        RemoveVoice,   // voice, fade: hand it back through the retire queue once silent
        Play,          // voice, loop
        Stop,          // voice
        Seek,          // voice, frame
        SetLoop,       // voice, frame .. endFrame; endFrame <= frame clears the loop
        Slide,         // voice, rate/volume/pan where their set* flag is true, timeMs
        SetEq,         // voice, slot, centre/bandwidth/gain (slot enabled from then on)
        GlobalVolumes, // music, stream (0..100)
    };
    Type type = Type::AddVoice;
    Voice* voice = nullptr;
    std::uint64_t seq = 0;
    std::int64_t frame = 0;
    std::int64_t endFrame = 0;
    bool loop = false;
    bool fade = true;
    bool setRate = false;
    bool setVolume = false;
    bool setPan = false;
    double rate = 0;
    double volume = 0;
    double pan = 0;
    int timeMs = 0;
    int slot = 0;
    float centre = 0;
    float bandwidth = 0;
    float gain = 0;
    int music = 100;
    int stream = 100;
};

inline constexpr std::size_t kCommandQueueSize = 4096;
inline constexpr std::size_t kMaxVoices = 64;

using CommandQueue = SpscQueue<Command, kCommandQueueSize>;
using RetireQueue = SpscQueue<Voice*, kMaxVoices * 2>;

} // namespace zen::audio
