#pragma once

#include "common/midi/MidiPort.h"
#include "common/midi/OutputLine.h"

#include <memory>

namespace zen {
namespace midi {
class CableSender;
class HardwareOutput;
} // namespace midi

// A MIDI output port. Sending sets status, data 2 and data 1 and issues action 7. A send on a
// port that is not open, or naming another device, is dropped without an error; a cable send
// never blocks the window thread. sendMessage() is the one operation any thread may call.
class MIDIOutput : public MidiPortOf<midi::Direction::Output> {
    Q_OBJECT

public:
    explicit MIDIOutput(QObject* parent = nullptr);
    ~MIDIOutput() override;

    // The fields set in the order the programs use, then action 7.
    void send(qint16 device, qint16 status, qint16 data1, qint16 data2);
    // The same message from any thread, leaving the fields alone: it goes out when `device` is
    // the one open at that moment.
    void sendMessage(qint16 device, qint16 status, qint16 data1, qint16 data2);

private:
    bool openCable(const std::string& folder, int cable, std::string& error) override;
    bool openHardware(const midi::HardwarePort& port, std::string& error) override;
    void opened() override;
    void release() override;
    void transmit() override;

    // Made by an open, attached to the line once the port holds the device.
    std::unique_ptr<midi::CableSender> openedCable_;
    std::unique_ptr<midi::HardwareOutput> openedHardware_;
    midi::OutputLine line_;
};

} // namespace zen
