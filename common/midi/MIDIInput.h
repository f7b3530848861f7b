#pragma once

#include "common/midi/MidiPort.h"

#include <atomic>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace zen {
namespace midi {
class CableReceiver;
class HardwareInput;
struct ShortMessage;
} // namespace midi

// A MIDI input port. After open and start, every incoming message raises messageReceived on the
// window thread; while the handler runs, status(), data1() and data2() hold that message.
class MIDIInput : public MidiPortOf<midi::Direction::Input> {
    Q_OBJECT

public:
    explicit MIDIInput(QObject* parent = nullptr);
    ~MIDIInput() override;

signals:
    void messageReceived();

private:
    void deliver(const midi::Event& event) override;
    bool openCable(const std::string& folder, int cable, std::string& error) override;
    bool openHardware(const midi::HardwarePort& port, std::string& error) override;
    void release() override;
    void start() override;
    void stop() override;
    // Queues each message that arrives while the port is started, tagged with its session.
    std::function<void(const midi::ShortMessage&)> messageSink() const;

    std::unique_ptr<midi::CableReceiver> cable_;
    // The window thread reads the cable when it is readable.
    std::unique_ptr<QSocketNotifier> cableReadable_;
    std::unique_ptr<midi::HardwareInput> hardware_;
    // Messages carry the start session they arrived in; a stop, reset or close moves on, so
    // nothing that arrived before it is delivered afterwards. Read by the reader threads, 0 while
    // the port is not started: what arrives then is not kept.
    std::uint64_t startSession_ = 0;
    std::shared_ptr<std::atomic<std::uint64_t>> liveSession_;
};

} // namespace zen
