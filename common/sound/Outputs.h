#pragma once

#include <string>
#include <vector>

// The sound outputs both programs list and a deck plays on, numbered as the configuration stores
// them: 0 is "Default output", the host's default, so a fresh configuration plays; then every
// stereo pair of every output, under the sound server's own names, in a stable order:
//
//   1. JACK, when a server answers: its physical playback ports in the server's order, grouped by
//      the interface their alias names (an ALSA card, by the card's name) or else by their client;
//   2. PipeWire or PulseAudio (PipeWire serves the PulseAudio protocol through pipewire-pulse),
//      when a server answers: its sinks, sorted by their names, each under its description;
//   3. ALSA's sound cards, only when neither server answers (a server owns the cards it runs).
//
// An output of more than two channels gives one entry per pair ("USB-4out Interface, outputs
// 3-4"), and its last channel alone when the count is odd ("..., output 5"); a stereo or mono
// output is one entry under its own name. A stored number is an index into today's list: the same
// outputs give the same numbers, and a number past the end names an output that is gone.
namespace zen::sound {

enum class Server { Jack, Pulse, Alsa };

struct Output {
    std::string description;
    Server server = Server::Jack;
    // JACK: the playback ports the pair is connected to, one or two; none for the default output
    // of a server that has no physical playback port.
    std::vector<std::string> ports;
    // PulseAudio: the sink's name, empty for the server's default sink. ALSA: PortAudio's name of
    // the card's device, empty for ALSA's default device.
    std::string device;
    // The device's channels, and the first (from 0) and the count (1 or 2) of those the entry
    // plays on. A default output plays on the device's own choice of two.
    int deviceChannels = 2;
    int firstChannel = 0;
    int width = 2;
};

struct OutputList {
    std::vector<Output> outputs;
    // Why the list is empty: each server tried and what it answered, and what to start.
    std::string problem;
};

OutputList listOutputs();
// The same for one server alone, its default output first: what a deck whose server went away
// asks again and again until it is back, without probing the others.
OutputList listOutputsOf(Server server);

// Whether the sound card an ALSA output plays on is plugged in, asked of ALSA's control devices
// alone: cheap enough for a deck to ask several times a second while its interface is away, where
// a list opens every device there is. Outputs of a server, ALSA's default and devices the ALSA
// configuration defines count as there.
bool cardPresent(const Output& output);

// The descriptions, in list order.
std::vector<std::string> descriptions(const OutputList& list);

// The entries of one output of `channels` channels named `name`, appended to `list`: one per pair
// and the last channel alone when the count is odd. `proto` gives every other field.
void addPairs(std::vector<Output>& list, const std::string& name, int channels,
              const Output& proto);

} // namespace zen::sound
