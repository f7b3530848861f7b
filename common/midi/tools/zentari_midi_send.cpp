// zentari-midi-send <cable name> <controller> [value]
// Sends one Control Change on MIDI channel 1 to every input that has the named cable open, the
// way the console sends deck commands. For scripts and tests. Exits 0 only when at least one
// input took the message, 1 when none did, 2 on bad arguments.

#include "common/midi/CableFolder.h"
#include "common/midi/CableSender.h"
#include "common/midi/ShortMessage.h"

#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

constexpr int kControlChange = 176;
constexpr int kDefaultValue = 126;

int usage(const char* problem) {
    std::fprintf(stderr,
                 "zentari-midi-send: %s\n"
                 "usage: zentari-midi-send <cable name> <controller> [value]\n"
                 "  cable name: \"MIDI Yoke 1\" .. \"MIDI Yoke %d\"\n"
                 "  controller, value: 0 .. 127 (value defaults to %d)\n",
                 problem, zen::midi::kCableCount, kDefaultValue);
    return 2;
}

bool parseByte(std::string_view text, int& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && out >= 0 && out <= 127;
}

int findCable(const std::string& name) {
    for (int cable = 1; cable <= zen::midi::kCableCount; ++cable)
        if (zen::midi::cableName(cable) == name) return cable;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) return usage("wrong number of arguments");
    const int cable = findCable(argv[1]);
    if (cable == 0) return usage((std::string("no cable named \"") + argv[1] + "\"").c_str());
    int controller = 0;
    if (!parseByte(argv[2], controller)) return usage("the controller must be 0 .. 127");
    int value = kDefaultValue;
    if (argc == 4 && !parseByte(argv[3], value)) return usage("the value must be 0 .. 127");

    std::string error;
    const std::string folder = zen::midi::openCableFolder(error);
    if (folder.empty()) {
        std::fprintf(stderr, "zentari-midi-send: %s\n", error.c_str());
        return 1;
    }
    zen::midi::CableSender sender(folder, cable);
    sender.send(*zen::midi::makeShortMessage(kControlChange, controller, value));
    // A reader that is hung gets the message dropped after the stall timeout: a failure to
    // report, not a success.
    if (!sender.flush(2 * zen::midi::CableSender::kStallTimeout) || sender.dropped() > 0) {
        std::fprintf(stderr, "zentari-midi-send: a reader of %s did not take the message\n",
                     argv[1]);
        return 1;
    }
    // Nobody listening is no success either, for instance when this user's programs meet in
    // another cable folder than the one this tool could use.
    if (sender.delivered() == 0) {
        std::fprintf(stderr, "zentari-midi-send: nobody listens on %s (cable folder %s)\n", argv[1],
                     folder.c_str());
        return 1;
    }
    return 0;
}
