#pragma once

#include "common/midi/DeviceList.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace zen::midi {
class EventQueue;
struct Event;
} // namespace zen::midi

namespace zen {

// The actions a port control understands; the device number is handed with every one of them.
enum class MidiAction : int {
    Open = 1,
    Close = 2,
    Reset = 3,
    Start = 4,
    Stop = 5,
    Received = 6, // issued at the end of every message handler; reception simply goes on
    Send = 7,
};

// Error numbers raised with the error event.
enum class MidiError : qint16 {
    CableFolder = 1,   // neither cable folder may be used: foreign, open to others, ...
    CableSocket = 2,   // a cable socket could not be made or bound
    DeviceMissing = 3, // a hardware port has gone since the device list was read
    Driver = 4,        // the hardware MIDI driver reported a failure
    Receive = 5,       // reading a cable failed
};

// What MIDIInput and MIDIOutput share: the actions on the device number handed with each, the
// three message fields and the error event. Devices 0..7 are the cables "MIDI Yoke 1".."MIDI Yoke
// 8", the hardware ports of the port's direction follow. A port holds one device at a time: open
// selects it, the other actions act only when handed the device that is open (a send naming
// another device is dropped, a close of a device that is not open does nothing). A device number
// of -1 or beyond the list makes every action a silent no-op. Events are raised on the window
// thread, one at a time, never while another MIDI handler of this program is still running (a
// message box it shows included): they wait in the queue and follow once that handler has
// returned.
class MidiPort : public QObject {
    Q_OBJECT
    Q_PROPERTY(qint16 status READ status WRITE setStatus)
    Q_PROPERTY(qint16 data1 READ data1 WRITE setData1)
    Q_PROPERTY(qint16 data2 READ data2 WRITE setData2)

public:
    ~MidiPort() override;

    qint16 status() const { return status_; }
    qint16 data1() const { return data1_; }
    qint16 data2() const { return data2_; }
    void setStatus(qint16 v) { status_ = v; }
    void setData1(qint16 v) { data1_ = v; }
    void setData2(qint16 v) { data2_ = v; }

    void action(qint16 device, MidiAction action);

    bool isOpen() const { return openDevice_ >= 0; }
    bool isStarted() const { return started_; }
    // The device the port holds open, -1 when closed.
    int openDevice() const { return openDevice_; }
    // True when `device` is the one open: every action but open works on that device only.
    bool holds(int device) const { return isOpen() && device == openDevice_; }

signals:
    void error(qint16 number, const QString& description);

protected:
    MidiPort(midi::Direction direction, QObject* parent);

    // Opens `device` unless it is open already, closing first what was open; a failure is raised
    // as the error event and leaves the port closed.
    void openPort(int device);
    // Stops the port and lets go of its device; each direction's destructor calls it.
    void closePort();
    // What each direction does with its device: open the cable or hardware port (false and the
    // reason in `error` when it cannot be), and let go of whichever is open.
    virtual bool openCable(const std::string& folder, int cable, std::string& error) = 0;
    virtual bool openHardware(const midi::HardwarePort& port, std::string& error) = 0;
    virtual void release() = 0;
    // The device is open and numbered: openDevice() tells which.
    virtual void opened() {}
    // The actions on the open device: start, stop (reset too: both end reception), send.
    virtual void start() { started_ = true; }
    virtual void stop() { started_ = false; }
    virtual void transmit() {}

    // Runs on the window thread for every event the queue hands this port.
    virtual void deliver(const midi::Event& event);
    // Raises the error event later on the window thread, through the queue.
    void postError(MidiError number, const QString& description);
    // The same for a reader or driver thread of the session now open.
    std::function<void(const std::string&)> errorSink(MidiError number) const;

    midi::Direction direction_;
    std::shared_ptr<midi::EventQueue> queue_;
    std::uint64_t portId_ = 0;
    // Bumped on every open and close, so an error of an earlier session is never delivered.
    std::uint64_t openSession_ = 0;
    int openDevice_ = -1;
    // The name of the open device: a hardware list read again may have moved the numbers.
    std::string openName_;
    bool started_ = false;
    qint16 status_ = 0;
    qint16 data1_ = 0;
    qint16 data2_ = 0;

    friend class midi::EventQueue;
};

// A port of one direction, with the device list it numbers its devices by.
template <midi::Direction D> class MidiPortOf : public MidiPort {
public:
    // Reading the count refreshes the list of hardware ports that the names and actions use.
    static qint16 deviceCount() { return static_cast<qint16>(midi::deviceCount(D)); }
    static QString deviceName(qint16 device) {
        return QString::fromStdString(midi::deviceName(D, device));
    }

protected:
    explicit MidiPortOf(QObject* parent) : MidiPort(D, parent) {}
};

} // namespace zen
