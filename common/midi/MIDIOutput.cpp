#include "common/midi/MIDIOutput.h"

#include "common/midi/CableFolder.h"
#include "common/midi/CableSender.h"
#include "common/midi/DeviceList.h"
#include "common/midi/EventQueue.h"
#include "common/midi/HardwareOutput.h"

namespace zen {

using midi::Direction;

MIDIOutput::MIDIOutput(QObject* parent) : MidiPort(parent) {}

MIDIOutput::~MIDIOutput() {
    close();
}

qint16 MIDIOutput::deviceCount() {
    return static_cast<qint16>(midi::deviceCount(Direction::Output));
}

QString MIDIOutput::deviceName(qint16 device) {
    return QString::fromStdString(midi::deviceName(Direction::Output, device));
}

void MIDIOutput::action(qint16 device, MidiAction action) {
    if (!midi::isDevice(Direction::Output, device)) return;
    switch (action) {
    case MidiAction::Open:
        open(device);
        break;
    case MidiAction::Close:
        close();
        break;
    case MidiAction::Start:
        started_ = isOpen();
        break;
    case MidiAction::Reset:
    case MidiAction::Stop:
        started_ = false;
        break;
    case MidiAction::Send:
        transmit();
        break;
    case MidiAction::Received:
        break;
    }
}

void MIDIOutput::send(qint16 device, qint16 status, qint16 data1, qint16 data2) {
    setStatus(status);
    setData2(data2);
    setData1(data1);
    action(device, MidiAction::Send);
}

void MIDIOutput::open(int device) {
    const std::string name = midi::deviceName(Direction::Output, device);
    if (openDevice_ == device && openName_ == name) return;
    close();
    ++openSession_;
    if (device < midi::kCableCount) {
        const std::string folder = midi::cableFolderPath();
        const std::string error = midi::prepareCableFolder(folder);
        if (!error.empty()) {
            postError(MidiError::CableFolder, QString::fromStdString(error));
            return;
        }
        cable_ = std::make_unique<midi::CableSender>(folder, device + 1);
    } else {
        std::string error;
        hardware_ = midi::HardwareOutput::open(*midi::hardwarePort(Direction::Output, device),
                                               errorSink(MidiError::Driver), error);
        if (!hardware_) {
            postError(MidiError::DeviceMissing, QString::fromStdString(error));
            return;
        }
    }
    openDevice_ = device;
    openName_ = name;
}

void MIDIOutput::close() {
    if (!isOpen()) return;
    started_ = false;
    cable_.reset();
    hardware_.reset();
    openDevice_ = -1;
    openName_.clear();
    ++openSession_;
}

// A send on a closed port, or of fields that make no MIDI message, is dropped: the console sends
// key releases whatever the state of its ports.
void MIDIOutput::transmit() {
    if (!isOpen()) return;
    const auto message = midi::makeShortMessage(status_, data1_, data2_);
    if (!message) return;
    if (cable_)
        cable_->send(*message);
    else
        hardware_->send(*message);
}

} // namespace zen
