#pragma once

#include "common/midi/ShortMessage.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class RtMidiIn;
class RtMidiOut;

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

// An opened hardware input; the callbacks run on the driver's thread.
class HardwareInput {
public:
    using MessageFn = std::function<void(const ShortMessage&)>;
    using ErrorFn = std::function<void(const std::string&)>;

    // Opens the port of that name; nullptr and the reason in `error` when it cannot be.
    static std::unique_ptr<HardwareInput> open(const HardwarePort& port, MessageFn onMessage,
                                               ErrorFn onError, std::string& error);
    ~HardwareInput();

private:
    HardwareInput(MessageFn onMessage, ErrorFn onError);
    static void messageCallback(double, std::vector<unsigned char>* bytes, void* self);
    static void errorCallback(int type, const std::string& text, void* self);

    MessageFn onMessage_;
    ErrorFn onError_;
    std::unique_ptr<RtMidiIn> in_;
};

// An opened hardware output.
class HardwareOutput {
public:
    using ErrorFn = std::function<void(const std::string&)>;

    static std::unique_ptr<HardwareOutput> open(const HardwarePort& port, ErrorFn onError,
                                                std::string& error);
    ~HardwareOutput();

    void send(const ShortMessage& message);

private:
    explicit HardwareOutput(ErrorFn onError);
    static void errorCallback(int type, const std::string& text, void* self);

    ErrorFn onError_;
    std::unique_ptr<RtMidiOut> out_;
};

} // namespace zen::midi
