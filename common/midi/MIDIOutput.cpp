#include "common/midi/MIDIOutput.h"

#include "common/midi/CableSender.h"
#include "common/midi/DeviceList.h"
#include "common/midi/EventQueue.h"
#include "common/midi/HardwareOutput.h"

namespace zen {

using midi::Direction;

MIDIOutput::MIDIOutput(QObject* parent) : MidiPort(Direction::Output, parent) {}

MIDIOutput::~MIDIOutput() {
    closePort();
}

qint16 MIDIOutput::deviceCount() {
    return static_cast<qint16>(midi::deviceCount(Direction::Output));
}

QString MIDIOutput::deviceName(qint16 device) {
    return QString::fromStdString(midi::deviceName(Direction::Output, device));
}

void MIDIOutput::action(qint16 device, MidiAction action) {
    if (!midi::isDevice(Direction::Output, device)) return;
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
        started_ = true;
        break;
    case MidiAction::Reset:
    case MidiAction::Stop:
        started_ = false;
        break;
    case MidiAction::Send:
        transmit();
        break;
    case MidiAction::Open:
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

bool MIDIOutput::openCable(const std::string& folder, int cable, std::string&) {
    cable_ = std::make_unique<midi::CableSender>(folder, cable);
    return true;
}

bool MIDIOutput::openHardware(const midi::HardwarePort& port, std::string& error) {
    hardware_ = midi::HardwareOutput::open(port, errorSink(MidiError::Driver), error);
    return hardware_ != nullptr;
}

void MIDIOutput::release() {
    started_ = false;
    cable_.reset();
    hardware_.reset();
}

// A send on a closed port or to another device than the open one, or of fields that make no MIDI
// message, is dropped: the console sends key releases whatever the state of its ports.
void MIDIOutput::transmit() {
    const auto message = midi::makeShortMessage(status_, data1_, data2_);
    if (!message) return;
    if (cable_)
        cable_->send(*message);
    else
        hardware_->send(*message);
}

} // namespace zen
