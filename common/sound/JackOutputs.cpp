#include "common/sound/JackClient.h"
#include "common/sound/ServerOutputs.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>

#include <cstdlib>
#include <memory>

namespace zen::sound {

namespace {

// The card an ALSA driver's alias names ("alsa_pcm:hw:USB4out:playback_1", "alsa_pcm:hw:1,0:in1"),
// by the card's own name when ALSA knows it; empty for any other alias.
std::string cardOf(const std::string& alias) {
    const std::string driver = "alsa_pcm:";
    const auto last = alias.rfind(':');
    if (alias.rfind(driver, 0) != 0 || last <= driver.size()) return {};
    std::string card = alias.substr(driver.size(), last - driver.size());
    for (const std::string prefix : {"plughw:", "hw:", "CARD="})
        if (card.rfind(prefix, 0) == 0) card.erase(0, prefix.size());
    card = card.substr(0, card.find(','));
    const int index = snd_card_get_index(card.c_str());
    char* name = nullptr;
    if (index >= 0 && snd_card_get_name(index, &name) == 0 && name) {
        card = name;
        std::free(name);
    }
    return card;
}

// The interface a playback port belongs to: the card one of its aliases names, else its client.
std::string interfaceOf(jack_port_t* port, const std::string& portName) {
    const auto size = static_cast<std::size_t>(jack_port_name_size());
    std::string first(size, '\0'), second(size, '\0');
    char* aliases[2] = {first.data(), second.data()};
    const int count = jack_port_get_aliases(port, aliases);
    for (int i = 0; i < count; ++i) {
        const std::string card = cardOf(aliases[i]);
        if (!card.empty()) return card;
    }
    return portName.substr(0, portName.find(':'));
}

struct Group {
    std::string name;
    std::vector<std::string> ports;
};

} // namespace

bool listJackOutputs(std::vector<Output>& list, std::string& why) {
    std::vector<Group> groups;
    const bool answered = withPortReader(
        [&](jack_client_t* client) {
            const std::unique_ptr<const char*, void (*)(void*)> names(
                jack_get_ports(client, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                               JackPortIsPhysical | JackPortIsInput),
                &jack_free);
            for (const char** name = names.get(); name && *name; ++name) {
                jack_port_t* port = jack_port_by_name(client, *name);
                if (!port) continue;
                const std::string interface = interfaceOf(port, *name);
                Group* group = nullptr;
                for (Group& g : groups)
                    if (g.name == interface) group = &g;
                if (!group) group = &groups.emplace_back(Group{interface, {}});
                group->ports.emplace_back(*name);
            }
        },
        why);
    if (!answered) return false;
    for (const Group& group : groups) {
        Output proto;
        proto.server = Server::Jack;
        proto.ports = group.ports;
        addPairs(list, group.name, static_cast<int>(group.ports.size()), proto);
    }
    if (groups.empty()) why = "JACK server \"" + jackServerName() + "\" has no playback port";
    return !groups.empty();
}

} // namespace zen::sound
