#include "common/midi/MidiPort.h"

#include "common/midi/EventQueue.h"

namespace zen {

MidiPort::MidiPort(QObject* parent) : QObject(parent), queue_(midi::EventQueue::shared()) {
    portId_ = queue_->registerPort(this);
}

MidiPort::~MidiPort() {
    queue_->unregisterPort(portId_);
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
