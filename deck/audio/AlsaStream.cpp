#include "deck/audio/AlsaStream.h"

#include "common/sound/PortAudioDevices.h"

namespace zen::audio {

namespace {
constexpr unsigned long kBlockFrames = 256;
} // namespace

AlsaStream::~AlsaStream() {
    close();
}

int AlsaStream::callback(const void*, void* output, unsigned long frames,
                         const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void* self) {
    auto* s = static_cast<AlsaStream*>(self);
    s->renderInterleaved(static_cast<float*>(output), static_cast<int>(frames), s->channels_,
                         s->first_, s->width_);
    return paContinue;
}

void AlsaStream::finished(void* self) {
    // Only a card that went away ends the stream before close(). (PortAudio takes the finished
    // callback away only from a stopped stream, so close() stops it with the callback still set.)
    auto* s = static_cast<AlsaStream*>(self);
    if (!s->closing_.load()) s->failed_.store(true);
}

bool AlsaStream::open(const zen::sound::Output& output, const std::string&, Mixer& mixer,
                      std::string& why) {
    mixer_ = &mixer;
    const std::string card = output.device.empty() ? "ALSA's default output" : output.description;
    const std::unique_lock lock(zen::sound::portAudioLock(), zen::sound::kPortAudioWait);
    if (!lock) {
        why = card + " waits for ALSA to close an output";
        return false;
    }
    initialised_ = zen::sound::initialisePortAudio();
    const int index = initialised_ ? zen::sound::portAudioIndex(output.device) : -1;
    const PaDeviceInfo* info = index < 0 ? nullptr : Pa_GetDeviceInfo(index);
    lostReason_ = card + " stopped (unplugged?)";
    hungReason_ = card + " takes no more sound";
    if (!info || info->maxOutputChannels < 1) {
        why = card + " is not there any more";
        return false;
    }
    channels_ = output.device.empty() ? std::min(info->maxOutputChannels, 2)
                                      : std::min(info->maxOutputChannels, output.deviceChannels);
    first_ = output.device.empty() ? 0 : output.firstChannel;
    width_ = std::min(output.width, channels_ - first_);
    if (width_ < 1) {
        why = card + " has fewer channels than before";
        return false;
    }
    rate_ = info->defaultSampleRate;
    PaStreamParameters params{};
    params.device = index;
    params.channelCount = channels_;
    params.sampleFormat = paFloat32;
    params.suggestedLatency = info->defaultLowOutputLatency;
    // The mixer clips itself; dithering float output would only add noise.
    const PaError error = Pa_OpenStream(&stream_, nullptr, &params, rate_, kBlockFrames,
                                        paClipOff | paDitherOff, &AlsaStream::callback, this);
    if (error != paNoError) {
        stream_ = nullptr;
        why = card + " cannot be opened: " + Pa_GetErrorText(error);
        return false;
    }
    const PaStreamInfo* streamInfo = Pa_GetStreamInfo(stream_);
    latency_ = streamInfo ? streamInfo->outputLatency : 0;
    if (Pa_SetStreamFinishedCallback(stream_, &AlsaStream::finished) != paNoError ||
        Pa_StartStream(stream_) != paNoError) {
        why = card + " does not start";
        return false;
    }
    return true;
}

void AlsaStream::close() {
    gate_.shut();
    const std::lock_guard lock(zen::sound::portAudioLock());
    if (stream_) {
        closing_.store(true);
        Pa_StopStream(stream_);
        Pa_CloseStream(stream_);
        stream_ = nullptr;
    }
    if (initialised_) Pa_Terminate();
    initialised_ = false;
}

} // namespace zen::audio
