#pragma once

#include "common/midi/PendingEvents.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace zen {
class MidiPort;
}

namespace zen::midi {

// The one road by which MIDI events of every port of this program reach the window thread.
// Reader threads and driver callbacks post; the window thread hands the events out one at a
// time, in arrival order, and never while a handler of any port is still running: a nested
// event loop inside a handler finds the queue held, and the outer hand-out carries on after the
// handler returns.
class EventQueue {
public:
    static std::shared_ptr<EventQueue> shared();

    // Any thread. Past this many waiting events some are dropped (see PendingEvents), so a
    // flood cannot exhaust memory while the window thread is held up.
    static constexpr std::size_t kMaxPending = 1 << 20;
    void post(Event event);
    // Any thread: true while events wait for the window thread, which is then busy.
    bool hasWaiting();

    // Window thread only.
    std::uint64_t registerPort(MidiPort* port);
    // Hands out what waits now rather than when the window thread gets back to its loop, so an
    // error of a port just opened comes before what its opener does next. Nothing inside a
    // handler.
    void deliverNow() { drain(); }
    void unregisterPort(std::uint64_t id);

private:
    EventQueue() = default;
    // False when there is no application object to wake yet.
    bool wake();
    void drain();

    std::mutex mutex_;
    PendingEvents pending_{kMaxPending};
    bool wakePending_ = false;

    std::unordered_map<std::uint64_t, MidiPort*> ports_;
    std::uint64_t nextPortId_ = 1;
    bool inHandler_ = false;
};

} // namespace zen::midi
