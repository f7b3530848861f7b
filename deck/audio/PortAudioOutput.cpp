#include "deck/audio/PortAudioOutput.h"

#include "deck/audio/Mixer.h"
#include "deck/audio/PortAudioDevices.h"

#include <portaudio.h>

namespace zen::audio {

namespace {
constexpr double kRate = 44100.0;
constexpr unsigned long kBlockFrames = 256;
} // namespace

PortAudioOutput::~PortAudioOutput() {
    close();
}

int PortAudioOutput::callback(const void*, void* output, unsigned long frames,
                              const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void* self) {
    auto* out = static_cast<PortAudioOutput*>(self);
    out->mixer_->process(static_cast<float*>(output), static_cast<int>(frames), out->channels_);
    return paContinue;
}

bool PortAudioOutput::open(int device, Mixer& mixer) {
    if (stream_) return false;
    if (!initialisePortAudio()) return false;
    const int index = portAudioOutputIndex(device);
    const PaDeviceInfo* info = index < 0 ? nullptr : Pa_GetDeviceInfo(index);
    if (!info || info->maxOutputChannels < 1) {
        Pa_Terminate();
        return false;
    }
    channels_ = info->maxOutputChannels >= 2 ? 2 : 1;
    PaStreamParameters params{};
    params.device = index;
    params.channelCount = channels_;
    params.sampleFormat = paFloat32;
    params.suggestedLatency = info->defaultLowOutputLatency;
    mixer_ = &mixer;
    PaStream* stream = nullptr;
    // The mixer clips itself; dithering float output would only add noise.
    if (Pa_OpenStream(&stream, nullptr, &params, kRate, kBlockFrames, paClipOff | paDitherOff,
                      &PortAudioOutput::callback, this) != paNoError) {
        mixer_ = nullptr;
        Pa_Terminate();
        return false;
    }
    stream_ = stream;
    const PaStreamInfo* streamInfo = Pa_GetStreamInfo(stream_);
    latency_ = streamInfo ? streamInfo->outputLatency : 0;
    return true;
}

bool PortAudioOutput::running() const {
    // A stream that ended on its own (its sound server went away) no longer calls back, so the
    // window thread may apply commands itself instead of queueing them for nobody.
    return running_ && Pa_IsStreamActive(stream_) == 1;
}

bool PortAudioOutput::start() {
    if (!stream_) return false;
    if (running_) return true;
    // Set first: from here on the window thread must leave the mixer to the callback.
    running_ = true;
    if (Pa_StartStream(stream_) != paNoError) {
        running_ = false;
        return false;
    }
    return true;
}

bool PortAudioOutput::stop() {
    if (!stream_) return false;
    if (running_) Pa_StopStream(stream_);
    running_ = false;
    return true;
}

void PortAudioOutput::close() {
    if (!stream_) return;
    stop();
    Pa_CloseStream(stream_);
    stream_ = nullptr;
    mixer_ = nullptr;
    Pa_Terminate();
}

} // namespace zen::audio
