#include "common/midi/HardwarePorts.h"

#include "common/midi/RtMidiSupport.h"

namespace zen::midi {

namespace {

template <typename Port> std::vector<HardwarePort> list() {
    std::vector<HardwarePort> ports;
    for (RtMidi::Api api : {RtMidi::LINUX_ALSA, RtMidi::UNIX_JACK}) {
        auto port = makeRtMidi<Port>(api);
        if (!port) continue;
        std::string failure;
        port->setErrorCallback(&collectError, &failure);
        const unsigned count = port->getPortCount();
        for (unsigned i = 0; i < count && failure.empty(); ++i) {
            std::string name = port->getPortName(i);
            if (!name.empty()) ports.push_back({static_cast<int>(api), std::move(name)});
        }
    }
    return ports;
}

} // namespace

std::vector<HardwarePort> listHardwareInputs() {
    return list<RtMidiIn>();
}

std::vector<HardwarePort> listHardwareOutputs() {
    return list<RtMidiOut>();
}

} // namespace zen::midi
