#pragma once

#include "deck/audio/OutputBackend.h"

#include <portaudio.h>

// The sound device through PortAudio: 44100 Hz float, 256-frame blocks, the mixer in the
// callback.
namespace zen::audio {

class PortAudioOutput final : public OutputBackend {
public:
    PortAudioOutput() = default;
    ~PortAudioOutput() override;

    bool open(int device, Mixer& mixer) override;
    bool start() override;
    bool stop() override;
    void close() override;
    bool running() const override;
    double latencySeconds() const override { return latency_; }
    bool realTime() const override { return true; }
    // PortAudio stands in for the platform's audio layer; 9 is the level the deck asks for.
    std::uint32_t platformVersion() const override { return 9; }

private:
    static int callback(const void* input, void* output, unsigned long frames,
                        const PaStreamCallbackTimeInfo* time, PaStreamCallbackFlags flags,
                        void* self);

    PaStream* stream_ = nullptr;
    Mixer* mixer_ = nullptr;
    int channels_ = 2;
    double latency_ = 0;
    bool running_ = false;
};

} // namespace zen::audio
