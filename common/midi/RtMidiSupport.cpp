#include "common/midi/RtMidiSupport.h"

#include "common/sound/JackClient.h"

#include <unistd.h>

namespace zen::midi {

namespace {

// Through the JACK client the process keeps for reading ports: a client opened and closed for
// each look could hang in its close, and libjack's complaints stay off the terminal alike.
bool jackServerRunning() {
    std::string why;
    return zen::sound::withPortReader([](jack_client_t*) {}, why);
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
