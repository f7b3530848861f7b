#pragma once

#include "common/midi/HardwarePorts.h"
#include "common/midi/ShortMessage.h"

#include <functional>
#include <memory>
#include <string>

class RtMidiOut;

namespace zen::midi {

// An opened hardware output.
class HardwareOutput {
public:
    using ErrorFn = std::function<void(const std::string&)>;

    // Opens the port of that name; nullptr and the reason in `error` when it cannot be.
    static std::unique_ptr<HardwareOutput> open(const HardwarePort& port, ErrorFn onError,
                                                std::string& error);
    ~HardwareOutput();

    void send(const ShortMessage& message);

private:
    explicit HardwareOutput(ErrorFn onError);

    ErrorFn onError_;
    std::unique_ptr<RtMidiOut> out_;
};

} // namespace zen::midi
