#pragma once

#include "common/midi/ShortMessage.h"

#include <QString>

#include <cstdint>
#include <deque>
#include <optional>

namespace zen::midi {

// A message or an error of one port, on its way to the window thread.
struct Event {
    enum class Kind { Message, Error };
    Kind kind = Kind::Message;
    std::uint64_t portId = 0;
    std::uint64_t session = 0;
    ShortMessage message;
    qint16 errorNumber = 0;
    QString description;
};

// The events waiting for the window thread, in arrival order, at most `capacity` of them. When
// full, what only flashes a deck's activity light (any message that is not a deck command) goes
// first: such a message arriving is dropped, and a deck command or an error arriving takes the
// place of the oldest one waiting. Only when nothing but commands and errors wait is the newest
// dropped, so a flood cannot cost a deck its quit or a touch release.
class PendingEvents {
public:
    explicit PendingEvents(std::size_t capacity) : capacity_(capacity) {}

    void push(Event event);
    // The oldest event still waiting; nothing when none waits.
    std::optional<Event> pop();
    bool empty() const { return waiting_ == 0; }

private:
    std::size_t capacity_;
    // An event given up for a command leaves its slot, so the sequence numbers of the others stay
    // their places; the slots before the first waiting event go at the next pop.
    struct Slot {
        Event event;
        bool givenUp = false;
    };
    std::deque<Slot> slots_;
    std::uint64_t firstSequence_ = 0;   // of slots_.front()
    std::deque<std::uint64_t> flashes_; // sequence numbers of the light-only messages waiting
    std::size_t waiting_ = 0;
};

} // namespace zen::midi
