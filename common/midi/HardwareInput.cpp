#include "common/midi/HardwareInput.h"

#include "common/midi/RtMidiSupport.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <sys/eventfd.h>
#include <unistd.h>

namespace zen::midi {

namespace {

void nudge(int fd) {
    const std::uint64_t one = 1;
    // Only a counter overflow could make this fail, and the relay empties the counter each time.
    [[maybe_unused]] const ssize_t written = write(fd, &one, sizeof one);
}

} // namespace

HardwareInput::HardwareInput(MessageFn onMessage, ErrorFn onError, int wakeFd)
    : onMessage_(std::move(onMessage)), onError_(std::move(onError)),
      ring_(jack_ringbuffer_create(kRingMessages * sizeof(ShortMessage))), wakeFd_(wakeFd) {
    relay_ = std::thread([this] { relay(); });
}

HardwareInput::~HardwareInput() {
    if (in_) {
        in_->cancelCallback();
        in_->closePort();
    }
    stopping_.store(true, std::memory_order_release);
    nudge(wakeFd_);
    relay_.join();
    close(wakeFd_);
    jack_ringbuffer_free(ring_);
}

std::unique_ptr<HardwareInput> HardwareInput::open(const HardwarePort& port, MessageFn onMessage,
                                                   ErrorFn onError, std::string& error) {
    auto in = makeRtMidi<RtMidiIn>(static_cast<RtMidi::Api>(port.api));
    std::string openError;
    if (in) in->setErrorCallback(&collectError, &openError);
    const int index = in ? findPort(*in, port.name) : -1;
    if (index < 0) {
        error = "The MIDI input " + port.name + " is no longer available";
        return nullptr;
    }
    const int wakeFd = eventfd(0, EFD_CLOEXEC);
    if (wakeFd < 0) {
        error = std::string("Cannot open the MIDI input: ") + std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<HardwareInput> self(
        new HardwareInput(std::move(onMessage), std::move(onError), wakeFd));
    in->ignoreTypes(true, true, true);
    in->setCallback(&HardwareInput::fromDriver, self.get());
    in->openPort(static_cast<unsigned>(index), "in");
    if (!openError.empty() || !in->isPortOpen()) {
        in->cancelCallback();
        error = "Cannot open the MIDI input " + port.name +
                (openError.empty() ? std::string() : ": " + openError);
        return nullptr;
    }
    in->setErrorCallback(
        [](RtMidiError::Type type, const std::string& text, void* user) {
            if (isFailure(type)) static_cast<HardwareInput*>(user)->onError_(text);
        },
        self.get());
    self->in_ = std::move(in);
    return self;
}

void HardwareInput::fromDriver(double, std::vector<unsigned char>* bytes, void* user) {
    if (!bytes) return;
    const auto message = parseShortMessage(bytes->data(), bytes->size());
    if (!message) return;
    auto* self = static_cast<HardwareInput*>(user);
    if (jack_ringbuffer_write_space(self->ring_) < sizeof(ShortMessage)) return;
    jack_ringbuffer_write(self->ring_, reinterpret_cast<const char*>(&*message),
                          sizeof(ShortMessage));
    nudge(self->wakeFd_);
}

void HardwareInput::relay() {
    for (;;) {
        std::uint64_t count = 0;
        if (read(wakeFd_, &count, sizeof count) < 0 && errno == EINTR) continue;
        ShortMessage message;
        while (jack_ringbuffer_read_space(ring_) >= sizeof(ShortMessage)) {
            jack_ringbuffer_read(ring_, reinterpret_cast<char*>(&message), sizeof(ShortMessage));
            onMessage_(message);
        }
        if (stopping_.load(std::memory_order_acquire)) return;
    }
}

} // namespace zen::midi
