#include "deck/audio/AudioEngine.h"
#include "deck/audio/PortAudioDevices.h"

#include <alsa/asoundlib.h>
#include <portaudio.h>

namespace zen::audio {

namespace {

// PortAudio's output devices in PortAudio's order; the engine numbers them from 1.
std::vector<PaDeviceIndex> outputDevices() {
    std::vector<PaDeviceIndex> out;
    const PaDeviceIndex count = Pa_GetDeviceCount();
    for (PaDeviceIndex i = 0; i < count; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (info && info->maxOutputChannels > 0) out.push_back(i);
    }
    return out;
}

void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

} // namespace

bool initialisePortAudio() {
    snd_lib_error_set_handler(&ignoreAlsaError);
    return Pa_Initialize() == paNoError;
}

int portAudioOutputIndex(int device) {
    if (device == 0) {
        const PaDeviceIndex def = Pa_GetDefaultOutputDevice();
        return def == paNoDevice ? -1 : def;
    }
    const std::vector<PaDeviceIndex> devices = outputDevices();
    if (device < 1 || device > static_cast<int>(devices.size())) return -1;
    return devices[static_cast<std::size_t>(device - 1)];
}

std::vector<std::string> listOutputDevices() {
    std::vector<std::string> names;
    if (!initialisePortAudio()) return names;
    const std::vector<PaDeviceIndex> devices = outputDevices();
    // With no output device at all there is no default either: the list is empty. Otherwise
    // device 0 is always there, so the others keep their numbers.
    if (!devices.empty()) names.emplace_back("Default output");
    for (PaDeviceIndex i : devices) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
        names.push_back(std::string(info->name) + " (" + (api ? api->name : "?") + ")");
    }
    Pa_Terminate();
    return names;
}

} // namespace zen::audio
