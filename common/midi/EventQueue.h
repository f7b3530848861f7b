#pragma once

#include "common/midi/ShortMessage.h"

#include <QString>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace zen {
class MidiPort;
}

namespace zen::midi {

struct Event {
    enum class Kind { Message, Error };
    Kind kind = Kind::Message;
    std::uint64_t portId = 0;
    std::uint64_t session = 0;
    ShortMessage message;
    qint16 errorNumber = 0;
    QString description;
};

// The one road by which MIDI events of every port of this program reach the window thread.
// Reader threads and driver callbacks post; the window thread hands the events out one at a
// time, in arrival order, and never while a handler of any port is still running: a nested
// event loop inside a handler finds the queue held, and the outer hand-out carries on after the
// handler returns.
class EventQueue {
public:
    static std::shared_ptr<EventQueue> shared();

    // Any thread. Past this many waiting events the newest are dropped, so a flood cannot
    // exhaust memory while the window thread is held up.
    static constexpr std::size_t kMaxPending = 1 << 20;
    void post(Event event);

    // Window thread only.
    std::uint64_t registerPort(MidiPort* port);
    void unregisterPort(std::uint64_t id);

private:
    EventQueue() = default;
    // False when there is no application object to wake yet.
    bool wake();
    void drain();

    std::mutex mutex_;
    std::deque<Event> pending_;
    bool wakePending_ = false;

    std::unordered_map<std::uint64_t, MidiPort*> ports_;
    std::uint64_t nextPortId_ = 1;
    bool inHandler_ = false;
};

} // namespace zen::midi
