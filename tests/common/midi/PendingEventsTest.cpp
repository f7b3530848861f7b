#include "common/midi/PendingEvents.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

using zen::midi::Event;

Event message(int status, int data1) {
    Event event;
    event.message = *zen::midi::makeShortMessage(status, data1, 126);
    return event;
}

// A flood that fills the queue while the window thread is busy must not cost a deck its quit,
// a touch release or an error: what only flashes the light goes first.
TEST(PendingEventsTest, FullQueueDropsLightFlashesBeforeDeckCommandsAndErrors) {
    zen::midi::PendingEvents pending(3);
    pending.push(message(176, 21));  // no command
    pending.push(message(0x90, 40)); // a note
    pending.push(message(177, 40));  // channel 2
    pending.push(message(176, 22));  // full: a flash arriving is dropped
    pending.push(message(176, 40));
    Event error;
    error.kind = Event::Kind::Error;
    pending.push(error);
    pending.push(message(176, 35));
    pending.push(message(176, 16)); // only commands and the error wait: the newest is dropped

    std::vector<int> popped;
    while (auto event = pending.pop())
        popped.push_back(event->kind == Event::Kind::Error ? -1 : event->message.data1);
    EXPECT_EQ(popped, (std::vector<int>{40, -1, 35}));
    EXPECT_TRUE(pending.empty());

    // Room again: flashes are kept, in order.
    for (int controller : {1, 2, 3})
        pending.push(message(176, controller));
    std::vector<int> later;
    while (auto event = pending.pop())
        later.push_back(event->message.data1);
    EXPECT_EQ(later, (std::vector<int>{1, 2, 3}));
}

} // namespace
