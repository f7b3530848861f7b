#include "common/sound/PortAudioDevices.h"
#include "common/sound/ServerOutputs.h"

#include <alsa/asoundlib.h>
#include <portaudio.h>

#include <cstdlib>

namespace zen::sound {

namespace {

void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// A sound card's own device: PortAudio names it "card: device (hw:C,D)". ALSA's plug-ins (dmix,
// pulse, the default) are left out: they are not outputs of their own.
bool isCard(const PaDeviceInfo* info) {
    return info && info->maxOutputChannels > 0 &&
           info->hostApi == Pa_HostApiTypeIdToHostApiIndex(paALSA) &&
           std::string(info->name).find(" (hw:") != std::string::npos;
}

} // namespace

std::timed_mutex& portAudioLock() {
    static std::timed_mutex lock;
    return lock;
}

bool initialisePortAudio() {
    snd_lib_error_set_handler(&ignoreAlsaError);
    return Pa_Initialize() == paNoError;
}

int portAudioIndex(const std::string& device) {
    if (device.empty()) {
        const PaHostApiInfo* alsa = Pa_GetHostApiInfo(Pa_HostApiTypeIdToHostApiIndex(paALSA));
        return alsa && alsa->defaultOutputDevice != paNoDevice ? alsa->defaultOutputDevice : -1;
    }
    // Any of ALSA's devices by its name: the list names cards alone, and a device the ALSA
    // configuration defines opens the same way.
    const PaHostApiIndex alsa = Pa_HostApiTypeIdToHostApiIndex(paALSA);
    for (PaDeviceIndex i = 0; i < Pa_GetDeviceCount(); ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (info && info->hostApi == alsa && device == info->name) return i;
    }
    return -1;
}

bool listAlsaOutputs(std::vector<Output>& list, std::string& why) {
    const std::unique_lock lock(portAudioLock(), kPortAudioWait);
    if (!lock) {
        why = "ALSA is still closing an output";
        return false;
    }
    if (!initialisePortAudio()) {
        why = "ALSA could not be read";
        return false;
    }
    bool found = false;
    for (PaDeviceIndex i = 0; i < Pa_GetDeviceCount(); ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (!isCard(info)) continue;
        const std::string name = info->name;
        Output proto;
        proto.server = Server::Alsa;
        proto.device = name;
        proto.deviceChannels = info->maxOutputChannels;
        addPairs(list, name.substr(0, name.rfind(" (hw:")), info->maxOutputChannels, proto);
        found = true;
    }
    Pa_Terminate();
    if (!found) why = "ALSA has no sound card";
    return found;
}

bool cardPresent(const Output& output) {
    if (output.server != Server::Alsa || output.device.find(" (hw:") == std::string::npos)
        return true;
    // PortAudio names a card's device "card name: device name (hw:C,D)"; the card's number may
    // change when it is plugged in again, its name does not.
    for (int card = -1; snd_card_next(&card) == 0 && card >= 0;) {
        char* name = nullptr;
        if (snd_card_get_name(card, &name) < 0 || !name) continue;
        const bool same = output.device.rfind(std::string(name) + ":", 0) == 0;
        std::free(name);
        if (same) return true;
    }
    return false;
}

} // namespace zen::sound
