#include "common/midi/MIDIOutput.h"

#include "common/midi/CableSender.h"
#include "common/midi/EventQueue.h"
#include "common/midi/HardwareOutput.h"

namespace zen {

MIDIOutput::MIDIOutput(QObject* parent) : MidiPortOf(parent) {}

MIDIOutput::~MIDIOutput() {
    closePort();
}

void MIDIOutput::send(qint16 device, qint16 status, qint16 data1, qint16 data2) {
    setStatus(status);
    setData2(data2);
    setData1(data1);
    action(device, MidiAction::Send);
}

// Fields that make no MIDI message are dropped: the console sends key releases whatever the
// state of its ports.
void MIDIOutput::sendMessage(qint16 device, qint16 status, qint16 data1, qint16 data2) {
    if (const auto message = midi::makeShortMessage(status, data1, data2))
        line_.send(device, *message);
}

bool MIDIOutput::openCable(const std::string& folder, int cable, std::string&) {
    openedCable_ = std::make_unique<midi::CableSender>(folder, cable);
    return true;
}

bool MIDIOutput::openHardware(const midi::HardwarePort& port, std::string& error) {
    openedHardware_ = midi::HardwareOutput::open(port, errorSink(MidiError::Driver), error);
    return openedHardware_ != nullptr;
}

void MIDIOutput::opened() {
    line_.attach(openDevice(), std::move(openedCable_), std::move(openedHardware_));
}

void MIDIOutput::release() {
    line_.detach();
}

// Action 7 reaches here only for the device that is open.
void MIDIOutput::transmit() {
    sendMessage(static_cast<qint16>(openDevice()), status_, data1_, data2_);
}

} // namespace zen
