#pragma once

#include "common/sound/Outputs.h"
#include "deck/audio/Mixer.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

// One output stream on one sound server (JACK, PipeWire/PulseAudio, ALSA), at the server's own
// rate, with the mixer in its callback. Opening starts it playing silence; the gate then decides
// when the callback may render the mix.
namespace zen::audio {

// The handover of the mixer between the window thread and an output's callback. The callback
// enters before it renders and leaves after; while the gate is shut it plays silence. Shutting
// waits only for a callback already inside, which never blocks there, so it never waits on a
// sound server.
class CallbackGate {
public:
    void open() { open_.store(true); }
    // After this returns no callback is inside, nor will one enter until open().
    void shut() {
        open_.store(false);
        while (inside_.load())
            std::this_thread::yield();
    }
    bool isOpen() const { return open_.load(); }
    // Callback side: true when it may render, and then it must leave().
    bool enter() {
        inside_.store(true);
        if (open_.load()) return true;
        inside_.store(false);
        return false;
    }
    void leave() { inside_.store(false); }

private:
    std::atomic<bool> open_{false};
    std::atomic<bool> inside_{false};
};

class OutputStream {
public:
    // Frames a callback renders at a time; a server's larger block takes several.
    static constexpr int kChunkFrames = 1024;

    virtual ~OutputStream() = default;

    // Opens `output` under `clientName` and starts it playing silence; false, with the reason
    // naming the server in `why`, when it cannot.
    virtual bool open(const zen::sound::Output& output, const std::string& clientName, Mixer& mixer,
                      std::string& why) = 0;
    // Releases the stream. May block on a server that hangs; the owner bounds the wait.
    virtual void close() = 0;

    CallbackGate& gate() { return gate_; }
    double latencySeconds() const { return latency_; }
    double sampleRate() const { return rate_; }
    // True once the server went away or the stream broke. Any thread.
    bool failed() const { return failed_.load(); }
    // What then happened, naming the server.
    const std::string& lostReason() const { return lostReason_; }
    // Steady-clock time of the callback's last call, in ns: a server that hangs stops calling
    // while nothing tells that it went. Any thread.
    std::int64_t lastCallNs() const { return lastCallNs_.load(std::memory_order_relaxed); }
    // What a server that stopped calling did, naming it.
    const std::string& hungReason() const { return hungReason_; }

protected:
    // The callback's work: when the gate is open, renders `frames` of the mix, `width` (1 or 2)
    // interleaved channels, a chunk at a time, handing each to place(offset, mix, count). False
    // when the gate is shut, and the callback plays silence.
    template <typename Place> bool renderMix(int frames, int width, Place&& place) {
        lastCallNs_.store(steadyNs(), std::memory_order_relaxed);
        if (!gate_.enter()) return false;
        for (int done = 0; done < frames;) {
            const int n = std::min(kChunkFrames, frames - done);
            mixer_->process(mix_.data(), n, width);
            place(done, mix_.data(), n);
            done += n;
        }
        gate_.leave();
        return true;
    }
    // The same into a device's `channels` interleaved channels: the mix in the `width` from
    // `first` on, silence in the others.
    void renderInterleaved(float* device, int frames, int channels, int first, int width) {
        std::fill(device, device + static_cast<std::ptrdiff_t>(frames) * channels, 0.0f);
        renderMix(frames, width, [&](int at, const float* mix, int n) {
            for (int i = 0; i < n; ++i)
                for (int c = 0; c < width; ++c)
                    device[static_cast<std::ptrdiff_t>(at + i) * channels + first + c] =
                        mix[i * width + c];
        });
    }

    CallbackGate gate_;
    std::atomic<bool> failed_{false};
    Mixer* mixer_ = nullptr;
    double latency_ = 0;
    double rate_ = 44100;
    std::string lostReason_;
    std::string hungReason_;

private:
    std::atomic<std::int64_t> lastCallNs_{steadyNs()};
    std::array<float, 2 * kChunkFrames> mix_{};
};

} // namespace zen::audio
