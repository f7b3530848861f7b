#pragma once

#include <string>
#include <vector>

namespace zen::midi {

// A hardware MIDI port as the system's MIDI services list it.
struct HardwarePort {
    int api = 0; // RtMidi::Api
    std::string name;
};

// The ports of the ALSA sequencer, then those of a running JACK server; each asked for
// explicitly, since either may be missing. None at all is a normal state.
std::vector<HardwarePort> listHardwareInputs();
std::vector<HardwarePort> listHardwareOutputs();

} // namespace zen::midi
