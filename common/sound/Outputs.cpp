#include "common/sound/Outputs.h"

#include "common/sound/ServerOutputs.h"

namespace zen::sound {

void addPairs(std::vector<Output>& list, const std::string& name, int channels,
              const Output& proto) {
    for (int first = 0; first < channels; first += 2) {
        Output entry = proto;
        entry.firstChannel = first;
        entry.width = channels - first >= 2 ? 2 : 1;
        if (proto.ports.size() == static_cast<std::size_t>(channels))
            entry.ports.assign(proto.ports.begin() + first,
                               proto.ports.begin() + first + entry.width);
        entry.description = name;
        if (channels > 2)
            entry.description += entry.width == 2 ? ", outputs " + std::to_string(first + 1) + "-" +
                                                        std::to_string(first + 2)
                                                  : ", output " + std::to_string(first + 1);
        list.push_back(std::move(entry));
    }
}

namespace {

// The list of what was found, the host's default first.
OutputList withDefault(std::vector<Output> found) {
    OutputList list;
    // The host's default is that of the first server listed: JACK has none of its own, so its
    // first pair, as every JACK program does; the others' default device.
    Output fallback;
    fallback.server = found.front().server;
    if (fallback.server == Server::Jack) fallback.ports = found.front().ports;
    fallback.description = "Default output";
    list.outputs.push_back(std::move(fallback));
    for (Output& output : found)
        list.outputs.push_back(std::move(output));
    return list;
}

} // namespace

OutputList listOutputs() {
    std::vector<Output> found;
    std::string jackWhy, pulseWhy, alsaWhy;
    const bool jack = listJackOutputs(found, jackWhy);
    const bool pulse = listPulseOutputs(found, pulseWhy);
    if (!jack && !pulse) listAlsaOutputs(found, alsaWhy);
    if (found.empty()) {
        OutputList list;
        list.problem = "No sound server answered: " + jackWhy + "; " + pulseWhy + "; " + alsaWhy +
                       ". Start JACK (jackd, or through QjackCtl) or PipeWire (pipewire with "
                       "wireplumber and pipewire-pulse), or plug in a sound card, then try again.";
        return list;
    }
    return withDefault(std::move(found));
}

OutputList listOutputsOf(Server server) {
    std::vector<Output> found;
    std::string why;
    const bool answered = server == Server::Jack    ? listJackOutputs(found, why)
                          : server == Server::Pulse ? listPulseOutputs(found, why)
                                                    : listAlsaOutputs(found, why);
    if (!answered) {
        OutputList list;
        list.problem = why;
        return list;
    }
    return withDefault(std::move(found));
}

std::vector<std::string> descriptions(const OutputList& list) {
    std::vector<std::string> names;
    for (const Output& output : list.outputs)
        names.push_back(output.description);
    return names;
}

} // namespace zen::sound
