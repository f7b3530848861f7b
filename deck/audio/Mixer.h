#pragma once

#include "deck/audio/EngineShared.h"

#include <array>
#include <atomic>
#include <cstdint>

// The audio thread's side of the engine: applies the window thread's commands, renders every
// voice into the output block, clips it and measures the time it took. process() is the body of
// the output callback; it never blocks, allocates, locks or does I/O.
namespace zen::audio {

class Mixer {
public:
    Mixer();

    CommandQueue& commands() { return commands_; }
    RetireQueue& retired() { return retired_; }

    // Output latency in frames, subtracted from the position a stop keeps.
    void setLatencyFrames(double frames) { latencyFrames_.store(frames); }
    // The output's rate in Hz, for the clock of its blocks, the CPU figure and every voice; only
    // while no audio thread runs.
    void setOutputRate(double rate);

    // Audio thread (or whoever renders while no audio thread runs). out: `frames` frames of
    // `outChannels` (1 or 2) interleaved floats.
    void process(float* out, int frames, int outChannels);
    // Applies pending commands without rendering; only while no audio thread runs.
    void drainCommands();
    // Hands every voice back through the retire queue; only while no audio thread runs.
    void releaseAll();
    // For the test clock: calls need(voiceTrackFrames) for every voice that will read sound in
    // the next `frames`; only while no audio thread runs.
    template <typename F> void forEachNeed(int frames, F&& need) const;

    float cpuPercent() const { return cpu_.load(std::memory_order_relaxed); }

private:
    void applyCommands(std::int64_t nowNs);
    void handBack(Voice* voice);
    void renderBlock(float* stereo, int frames, std::int64_t blockNs);

    CommandQueue commands_;
    RetireQueue retired_;
    std::array<Voice*, kMaxVoices> voices_{};
    std::size_t voiceCount_ = 0;
    int musicVolume_ = 100;
    int streamVolume_ = 100;
    std::atomic<double> latencyFrames_{0};
    double outputRate_ = 44100;
    int period_ = 256; // frames the output asked for last
    std::array<float, 2 * 256> block_{};

    std::int64_t busyNs_ = 0;
    std::int64_t audioFrames_ = 0;
    std::atomic<float> cpu_{0};
};

} // namespace zen::audio

#include "deck/audio/Voice.h"

template <typename F> void zen::audio::Mixer::forEachNeed(int frames, F&& need) const {
    for (std::size_t i = 0; i < voiceCount_; ++i)
        if (voices_[i]->audible()) need(*voices_[i], voices_[i]->framesNeeded(frames));
}
