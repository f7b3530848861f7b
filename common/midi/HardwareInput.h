#pragma once

#include "common/midi/HardwarePorts.h"
#include "common/midi/ShortMessage.h"

#include <atomic>
#include <functional>
#include <jack/ringbuffer.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class RtMidiIn;

namespace zen::midi {

// An opened hardware input. With JACK the driver's callback runs on the audio server's real-time
// thread, which the decks' sound may share, so it only copies each message into a lock-free ring
// and nudges a relay thread; the relay hands the messages on. Should the relay fall a whole ring
// behind, the newest messages are dropped rather than the driver's thread held.
class HardwareInput {
public:
    using MessageFn = std::function<void(const ShortMessage&)>;
    using ErrorFn = std::function<void(const std::string&)>;

    static constexpr std::size_t kRingMessages = 4096;

    // Opens the port of that name; nullptr and the reason in `error` when it cannot be. The
    // callbacks run on the relay thread (messages) and the driver's thread (errors).
    static std::unique_ptr<HardwareInput> open(const HardwarePort& port, MessageFn onMessage,
                                               ErrorFn onError, std::string& error);
    ~HardwareInput();
    HardwareInput(const HardwareInput&) = delete;
    HardwareInput& operator=(const HardwareInput&) = delete;

private:
    HardwareInput(MessageFn onMessage, ErrorFn onError, int wakeFd);
    static void fromDriver(double, std::vector<unsigned char>* bytes, void* self);
    void relay();

    MessageFn onMessage_;
    ErrorFn onError_;
    jack_ringbuffer_t* ring_;
    int wakeFd_;
    std::atomic<bool> stopping_{false};
    std::thread relay_;
    std::unique_ptr<RtMidiIn> in_;
};

} // namespace zen::midi
