#include "common/midi/MIDIInput.h"

#include "common/midi/CableFolder.h"
#include "common/midi/CableReceiver.h"
#include "common/midi/DeviceList.h"
#include "common/midi/EventQueue.h"
#include "common/midi/HardwareInput.h"

namespace zen {

using midi::Direction;

MIDIInput::MIDIInput(QObject* parent)
    : MidiPort(parent), liveSession_(std::make_shared<std::atomic<std::uint64_t>>(0)) {}

MIDIInput::~MIDIInput() {
    close();
}

qint16 MIDIInput::deviceCount() {
    return static_cast<qint16>(midi::deviceCount(Direction::Input));
}

QString MIDIInput::deviceName(qint16 device) {
    return QString::fromStdString(midi::deviceName(Direction::Input, device));
}

void MIDIInput::action(qint16 device, MidiAction action) {
    if (!midi::isDevice(Direction::Input, device)) return;
    switch (action) {
    case MidiAction::Open:
        open(device);
        break;
    case MidiAction::Close:
        close();
        break;
    case MidiAction::Reset:
    case MidiAction::Stop:
        halt();
        break;
    case MidiAction::Start:
        if (isOpen() && !started_) {
            started_ = true;
            liveSession_->store(++startSession_, std::memory_order_release);
        }
        break;
    case MidiAction::Received:
    case MidiAction::Send:
        break;
    }
}

void MIDIInput::halt() {
    started_ = false;
    ++startSession_;
    liveSession_->store(0, std::memory_order_release);
}

void MIDIInput::open(int device) {
    const std::string name = midi::deviceName(Direction::Input, device);
    if (openDevice_ == device && openName_ == name) return;
    close();
    ++openSession_;

    auto onMessage = [queue = queue_, id = portId_,
                      live = liveSession_](const midi::ShortMessage& message) {
        const std::uint64_t session = live->load(std::memory_order_acquire);
        if (session == 0) return;
        midi::Event event;
        event.portId = id;
        event.session = session;
        event.message = message;
        queue->post(std::move(event));
    };
    std::string error;
    if (device < midi::kCableCount) {
        const std::string folder = midi::cableFolderPath();
        error = midi::prepareCableFolder(folder);
        if (!error.empty()) {
            postError(MidiError::CableFolder, QString::fromStdString(error));
            return;
        }
        cable_ = midi::CableReceiver::open(folder, device + 1, onMessage,
                                           errorSink(MidiError::Receive), error);
        if (!cable_) {
            postError(MidiError::CableSocket, QString::fromStdString(error));
            return;
        }
    } else {
        const auto port = midi::hardwarePort(Direction::Input, device);
        hardware_ =
            midi::HardwareInput::open(*port, onMessage, errorSink(MidiError::Driver), error);
        if (!hardware_) {
            postError(MidiError::DeviceMissing, QString::fromStdString(error));
            return;
        }
    }
    openDevice_ = device;
    openName_ = name;
}

void MIDIInput::close() {
    if (!isOpen()) return;
    halt();
    cable_.reset();
    hardware_.reset();
    openDevice_ = -1;
    openName_.clear();
    ++openSession_;
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
