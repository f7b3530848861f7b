#include "common/midi/HardwareOutput.h"

#include "common/midi/RtMidiSupport.h"

namespace zen::midi {

HardwareOutput::HardwareOutput(ErrorFn onError) : onError_(std::move(onError)) {}

HardwareOutput::~HardwareOutput() {
    if (out_) out_->closePort();
}

std::unique_ptr<HardwareOutput> HardwareOutput::open(const HardwarePort& port, ErrorFn onError,
                                                     std::string& error) {
    auto out = makeRtMidi<RtMidiOut>(static_cast<RtMidi::Api>(port.api));
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
    out->setErrorCallback(
        [](RtMidiError::Type type, const std::string& text, void* user) {
            if (isFailure(type)) static_cast<HardwareOutput*>(user)->onError_(text);
        },
        self.get());
    self->out_ = std::move(out);
    return self;
}

void HardwareOutput::send(const ShortMessage& message) {
    const unsigned char bytes[3] = {message.status, message.data1, message.data2};
    out_->sendMessage(bytes, message.size);
}

} // namespace zen::midi
