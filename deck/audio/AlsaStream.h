#pragma once

#include "deck/audio/OutputStream.h"

#include <portaudio.h>

// The deck on a sound card that no server owns, through PortAudio's ALSA host: the card's device
// with all its channels at its own rate, the mix in the pair chosen and silence in the others;
// the default output is ALSA's default device in stereo.
namespace zen::audio {

class AlsaStream final : public OutputStream {
public:
    ~AlsaStream() override;

    bool open(const zen::sound::Output& output, const std::string& clientName, Mixer& mixer,
              std::string& why) override;
    void close() override;

private:
    static int callback(const void* input, void* output, unsigned long frames,
                        const PaStreamCallbackTimeInfo* time, PaStreamCallbackFlags flags,
                        void* self);
    static void finished(void* self);

    std::atomic<bool> closing_{false};
    bool initialised_ = false;
    PaStream* stream_ = nullptr;
    int channels_ = 2;
    int first_ = 0;
    int width_ = 2;
};

} // namespace zen::audio
