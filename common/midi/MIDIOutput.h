#pragma once

#include "common/midi/MidiPort.h"

#include <memory>

namespace zen {
namespace midi {
class CableSender;
class HardwareOutput;
} // namespace midi

// A MIDI output port: devices 0..7 are the cables "MIDI Yoke 1".."MIDI Yoke 8", hardware
// outputs follow. Sending sets status, data 2 and data 1 and issues action 7. A send on a port
// that is not open, or naming another device, is dropped without an error; a cable send never
// blocks the window thread.
class MIDIOutput : public MidiPort {
    Q_OBJECT

public:
    explicit MIDIOutput(QObject* parent = nullptr);
    ~MIDIOutput() override;

    // Reading the count refreshes the list of hardware ports that the names and actions use.
    static qint16 deviceCount();
    static QString deviceName(qint16 device);

    void action(qint16 device, MidiAction action);
    // The fields set in the order the programs use, then action 7.
    void send(qint16 device, qint16 status, qint16 data1, qint16 data2);

private:
    bool openCable(const std::string& folder, int cable, std::string& error) override;
    bool openHardware(const midi::HardwarePort& port, std::string& error) override;
    void release() override;
    void transmit();

    std::unique_ptr<midi::CableSender> cable_;
    std::unique_ptr<midi::HardwareOutput> hardware_;
};

} // namespace zen
