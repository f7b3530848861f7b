#pragma once

#include <rtmidi/RtMidi.h>

#include <memory>
#include <string>

// What the hardware port classes share in their use of RtMidi.
namespace zen::midi {

inline constexpr const char* kClientName = "ZentariDJ";

// Whether there is a MIDI service to ask: the ALSA sequencer device, a running JACK server.
// Asking one that is missing fills stderr with complaints, so a quiet look comes first.
bool apiPresent(RtMidi::Api api);

// RtMidi reports warnings through the same callback as failures; only failures count.
bool isFailure(RtMidiError::Type type);

// An error callback that keeps a failure's text in the std::string that `reason` points to.
void collectError(RtMidiError::Type type, const std::string& text, void* reason);

// An RtMidi object of exactly that back end, nullptr when it is not there. RtMidi falls back to
// another back end when asked for one it was built without; such an object is refused.
template <typename Port> std::unique_ptr<Port> makeRtMidi(RtMidi::Api api) {
    if (!apiPresent(api)) return nullptr;
    try {
        auto port = std::make_unique<Port>(api, kClientName);
        if (port->getCurrentApi() != api) return nullptr;
        return port;
    } catch (const RtMidiError&) {
        return nullptr;
    }
}

// Port numbers shift as devices come and go, so a listed port is found again by its name;
// -1 when it has gone.
template <typename Port> int findPort(Port& port, const std::string& name) {
    try {
        const unsigned count = port.getPortCount();
        for (unsigned i = 0; i < count; ++i)
            if (port.getPortName(i) == name) return static_cast<int>(i);
    } catch (const RtMidiError&) {
    }
    return -1;
}

} // namespace zen::midi
