#include "common/midi/HardwarePorts.h"

#include <rtmidi/RtMidi.h>

#include <cstdio>
#include <jack/jack.h>
#include <mutex>
#include <unistd.h>

namespace zen::midi {

namespace {

const char* const kClientName = "ZentariDJ";

thread_local bool quietJack = false;

void jackMessage(const char* text) {
    if (!quietJack) std::fprintf(stderr, "%s\n", text);
}

// Asking for a JACK server that is not there fills stderr with complaints from the JACK library
// and RtMidi; a quiet look first keeps a normal state quiet.
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

// The ALSA library complains likewise when there is no sequencer device.
bool apiPresent(RtMidi::Api api) {
    if (api == RtMidi::LINUX_ALSA) return access("/dev/snd/seq", R_OK | W_OK) == 0;
    return jackServerRunning();
}

constexpr RtMidi::Api kApis[] = {RtMidi::LINUX_ALSA, RtMidi::UNIX_JACK};

// RtMidi falls back to another back end when asked for one it was built without; such an
// object is not the one asked for.
template <typename Port> std::unique_ptr<Port> make(RtMidi::Api api) {
    if (!apiPresent(api)) return nullptr;
    try {
        auto port = std::make_unique<Port>(api, kClientName);
        if (port->getCurrentApi() != api) return nullptr;
        return port;
    } catch (const RtMidiError&) {
        return nullptr;
    }
}

template <typename Port> std::vector<HardwarePort> list() {
    std::vector<HardwarePort> ports;
    for (RtMidi::Api api : kApis) {
        auto port = make<Port>(api);
        if (!port) continue;
        try {
            const unsigned count = port->getPortCount();
            for (unsigned i = 0; i < count; ++i) {
                std::string name = port->getPortName(i);
                if (!name.empty()) ports.push_back({static_cast<int>(api), std::move(name)});
            }
        } catch (const RtMidiError&) {
            continue;
        }
    }
    return ports;
}

// Port numbers shift as devices come and go, so an opened port is found again by its name.
template <typename Port> int findPort(Port& port, const std::string& name) {
    const unsigned count = port.getPortCount();
    for (unsigned i = 0; i < count; ++i)
        if (port.getPortName(i) == name) return static_cast<int>(i);
    return -1;
}

bool isFailure(int type) {
    return type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING;
}

// While a port is being opened, a failure is kept for the reason given to the caller.
void collectError(RtMidiError::Type type, const std::string& text, void* reason) {
    if (isFailure(type)) *static_cast<std::string*>(reason) = text;
}

} // namespace

std::vector<HardwarePort> listHardwareInputs() {
    return list<RtMidiIn>();
}
std::vector<HardwarePort> listHardwareOutputs() {
    return list<RtMidiOut>();
}

HardwareInput::HardwareInput(MessageFn onMessage, ErrorFn onError)
    : onMessage_(std::move(onMessage)), onError_(std::move(onError)) {}

HardwareInput::~HardwareInput() {
    if (!in_) return;
    in_->cancelCallback();
    in_->closePort();
}

std::unique_ptr<HardwareInput> HardwareInput::open(const HardwarePort& port, MessageFn onMessage,
                                                   ErrorFn onError, std::string& error) {
    auto in = make<RtMidiIn>(static_cast<RtMidi::Api>(port.api));
    std::string openError;
    if (in) in->setErrorCallback(&collectError, &openError);
    const int index = in ? findPort(*in, port.name) : -1;
    if (index < 0) {
        error = "The MIDI input " + port.name + " is no longer available";
        return nullptr;
    }
    std::unique_ptr<HardwareInput> self(
        new HardwareInput(std::move(onMessage), std::move(onError)));
    in->ignoreTypes(true, true, true);
    in->setCallback(&HardwareInput::messageCallback, self.get());
    in->openPort(static_cast<unsigned>(index), "in");
    if (!openError.empty() || !in->isPortOpen()) {
        in->cancelCallback();
        error = "Cannot open the MIDI input " + port.name +
                (openError.empty() ? std::string() : ": " + openError);
        return nullptr;
    }
    in->setErrorCallback([](RtMidiError::Type type, const std::string& text,
                            void* user) { HardwareInput::errorCallback(type, text, user); },
                         self.get());
    self->in_ = std::move(in);
    return self;
}

void HardwareInput::messageCallback(double, std::vector<unsigned char>* bytes, void* self) {
    if (!bytes) return;
    if (auto message = parseShortMessage(bytes->data(), bytes->size()))
        static_cast<HardwareInput*>(self)->onMessage_(*message);
}

void HardwareInput::errorCallback(int type, const std::string& text, void* self) {
    if (isFailure(type)) static_cast<HardwareInput*>(self)->onError_(text);
}

HardwareOutput::HardwareOutput(ErrorFn onError) : onError_(std::move(onError)) {}

HardwareOutput::~HardwareOutput() {
    if (out_) out_->closePort();
}

std::unique_ptr<HardwareOutput> HardwareOutput::open(const HardwarePort& port, ErrorFn onError,
                                                     std::string& error) {
    auto out = make<RtMidiOut>(static_cast<RtMidi::Api>(port.api));
    std::string openError;
    if (out) out->setErrorCallback(&collectError, &openError);
    const int index = out ? findPort(*out, port.name) : -1;
    if (index < 0) {
        error = "The MIDI output " + port.name + " is no longer available";
        return nullptr;
    }
    out->openPort(static_cast<unsigned>(index), "out");
    if (!openError.empty() || !out->isPortOpen()) {
        error = "Cannot open the MIDI output " + port.name +
                (openError.empty() ? std::string() : ": " + openError);
        return nullptr;
    }
    std::unique_ptr<HardwareOutput> self(new HardwareOutput(std::move(onError)));
    out->setErrorCallback([](RtMidiError::Type type, const std::string& text,
                             void* user) { HardwareOutput::errorCallback(type, text, user); },
                          self.get());
    self->out_ = std::move(out);
    return self;
}

void HardwareOutput::send(const ShortMessage& message) {
    const unsigned char bytes[3] = {message.status, message.data1, message.data2};
    out_->sendMessage(bytes, message.size);
}

void HardwareOutput::errorCallback(int type, const std::string& text, void* self) {
    if (isFailure(type)) static_cast<HardwareOutput*>(self)->onError_(text);
}

} // namespace zen::midi
