#include "common/midi/MidiPort.h"

#include "common/midi/CableFolder.h"
#include "common/midi/EventQueue.h"

namespace zen {

MidiPort::MidiPort(midi::Direction direction, QObject* parent)
    : QObject(parent), direction_(direction), queue_(midi::EventQueue::shared()) {
    portId_ = queue_->registerPort(this);
}

MidiPort::~MidiPort() {
    queue_->unregisterPort(portId_);
}

void MidiPort::action(qint16 device, MidiAction action) {
    if (!midi::isDevice(direction_, device)) return;
    if (action == MidiAction::Open) {
        openPort(device);
        return;
    }
    if (!holds(device)) return;
    switch (action) {
    case MidiAction::Close:
        closePort();
        break;
    case MidiAction::Start:
        start();
        break;
    case MidiAction::Reset:
    case MidiAction::Stop:
        stop();
        break;
    case MidiAction::Send:
        transmit();
        break;
    case MidiAction::Open:
    case MidiAction::Received:
        break;
    }
}

void MidiPort::openPort(int device) {
    const std::string name = midi::deviceName(direction_, device);
    if (openDevice_ == device && openName_ == name) return;
    closePort();
    ++openSession_;
    std::string error;
    if (device < midi::kCableCount) {
        const std::string folder = midi::openCableFolder(error);
        if (folder.empty()) {
            postError(MidiError::CableFolder, QString::fromStdString(error));
            return;
        }
        if (!openCable(folder, device + 1, error)) {
            postError(MidiError::CableSocket, QString::fromStdString(error));
            return;
        }
    } else if (!openHardware(*midi::hardwarePort(direction_, device), error)) {
        postError(MidiError::DeviceMissing, QString::fromStdString(error));
        return;
    }
    openDevice_ = device;
    openName_ = name;
    opened();
}

void MidiPort::closePort() {
    if (!isOpen()) return;
    stop();
    release();
    openDevice_ = -1;
    openName_.clear();
    ++openSession_;
}

void MidiPort::deliver(const midi::Event& event) {
    if (event.kind == midi::Event::Kind::Error && event.session == openSession_)
        emit error(event.errorNumber, event.description);
}

void MidiPort::postError(MidiError number, const QString& description) {
    errorSink(number)(description.toStdString());
}

std::function<void(const std::string&)> MidiPort::errorSink(MidiError number) const {
    return [queue = queue_, id = portId_, session = openSession_, number](const std::string& text) {
        midi::Event event;
        event.kind = midi::Event::Kind::Error;
        event.portId = id;
        event.session = session;
        event.errorNumber = static_cast<qint16>(number);
        event.description = QString::fromStdString(text);
        queue->post(std::move(event));
    };
}

} // namespace zen
