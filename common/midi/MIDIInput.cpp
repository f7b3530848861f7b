#include "common/midi/MIDIInput.h"

#include "common/midi/CableReceiver.h"
#include "common/midi/EventQueue.h"
#include "common/midi/HardwareInput.h"

#include <QSocketNotifier>

namespace zen {

MIDIInput::MIDIInput(QObject* parent)
    : MidiPortOf(parent), liveSession_(std::make_shared<std::atomic<std::uint64_t>>(0)) {}

MIDIInput::~MIDIInput() {
    closePort();
}

void MIDIInput::start() {
    if (started_) return;
    started_ = true;
    liveSession_->store(++startSession_, std::memory_order_release);
}

void MIDIInput::stop() {
    started_ = false;
    ++startSession_;
    liveSession_->store(0, std::memory_order_release);
}

std::function<void(const midi::ShortMessage&)> MIDIInput::messageSink() const {
    return [queue = queue_, id = portId_, live = liveSession_](const midi::ShortMessage& message) {
        const std::uint64_t session = live->load(std::memory_order_acquire);
        if (session == 0) return;
        midi::Event event;
        event.portId = id;
        event.session = session;
        event.message = message;
        queue->post(std::move(event));
    };
}

bool MIDIInput::openCable(const std::string& folder, int cable, std::string& error) {
    cable_ = midi::CableReceiver::open(
        folder, cable, messageSink(), errorSink(MidiError::Receive),
        [queue = queue_] { return queue->hasWaiting(); }, error);
    if (!cable_) return false;
    cableReadable_ = std::make_unique<QSocketNotifier>(cable_->descriptor(), QSocketNotifier::Read);
    // Reading only queues the messages: the handlers run from the queue, never in here.
    connect(cableReadable_.get(), &QSocketNotifier::activated, this, [this] {
        if (!cable_->readWaiting()) cableReadable_->setEnabled(false);
    });
    return true;
}

bool MIDIInput::openHardware(const midi::HardwarePort& port, std::string& error) {
    hardware_ = midi::HardwareInput::open(port, messageSink(), errorSink(MidiError::Driver), error);
    return hardware_ != nullptr;
}

void MIDIInput::release() {
    cableReadable_.reset();
    cable_.reset();
    hardware_.reset();
}

void MIDIInput::deliver(const midi::Event& event) {
    if (event.kind != midi::Event::Kind::Message) {
        MidiPort::deliver(event);
        return;
    }
    if (!started_ || event.session != startSession_) return;
    status_ = event.message.status;
    data1_ = event.message.data1;
    data2_ = event.message.data2;
    emit messageReceived();
}

} // namespace zen
