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

bool MIDIOutput::openCable(const std::string& folder, int cable, std::string&) {
    cable_ = std::make_unique<midi::CableSender>(folder, cable);
    return true;
}

bool MIDIOutput::openHardware(const midi::HardwarePort& port, std::string& error) {
    hardware_ = midi::HardwareOutput::open(port, errorSink(MidiError::Driver), error);
    return hardware_ != nullptr;
}

void MIDIOutput::release() {
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
