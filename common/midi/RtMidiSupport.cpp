#include "common/midi/RtMidiSupport.h"

#include <cstdio>
#include <jack/jack.h>
#include <mutex>
#include <unistd.h>

namespace zen::midi {

namespace {

thread_local bool quietJack = false;

void jackMessage(const char* text) {
    if (!quietJack) std::fprintf(stderr, "%s\n", text);
}

bool jackServerRunning() {
    static std::once_flag hooked;
    std::call_once(hooked, [] {
        jack_set_error_function(&jackMessage);
        jack_set_info_function(&jackMessage);
    });
    quietJack = true;
    jack_status_t status{};
    jack_client_t* client = jack_client_open("ZentariDJ probe", JackNoStartServer, &status);
    quietJack = false;
    if (!client) return false;
    jack_client_close(client);
    return true;
}

} // namespace

bool apiPresent(RtMidi::Api api) {
    switch (api) {
    case RtMidi::LINUX_ALSA:
        return access("/dev/snd/seq", R_OK | W_OK) == 0;
    case RtMidi::UNIX_JACK:
        return jackServerRunning();
    default:
        return false;
    }
}

bool isFailure(RtMidiError::Type type) {
    return type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING;
}

void collectError(RtMidiError::Type type, const std::string& text, void* reason) {
    if (isFailure(type)) *static_cast<std::string*>(reason) = text;
}

} // namespace zen::midi
