#include "common/midi/PendingEvents.h"

#include "common/DeckCommands.h"

namespace zen::midi {

namespace {

bool onlyFlashes(const Event& event) {
    if (event.kind != Event::Kind::Message) return false;
    if (event.message.status != cmd::kStatus) return true;
    switch (event.message.data1) {
    case cmd::kPlayPause:
    case cmd::kStop:
    case cmd::kCue:
    case cmd::kTouchBack:
    case cmd::kTouchForward:
    case cmd::kTouchRelease:
    case cmd::kQuit:
        return false;
    default:
        return true;
    }
}

} // namespace

void PendingEvents::push(Event event) {
    const bool flash = onlyFlashes(event);
    if (waiting_ >= capacity_) {
        if (flash || flashes_.empty()) return;
        Slot& givenUp = slots_[flashes_.front() - firstSequence_];
        givenUp.givenUp = true;
        givenUp.event = Event();
        flashes_.pop_front();
        --waiting_;
    }
    if (flash) flashes_.push_back(firstSequence_ + slots_.size());
    slots_.push_back({std::move(event), false});
    ++waiting_;
}

std::optional<Event> PendingEvents::pop() {
    while (!slots_.empty()) {
        Slot slot = std::move(slots_.front());
        slots_.pop_front();
        if (!flashes_.empty() && flashes_.front() == firstSequence_) flashes_.pop_front();
        ++firstSequence_;
        if (!slot.givenUp) {
            --waiting_;
            return std::move(slot.event);
        }
    }
    return std::nullopt;
}

} // namespace zen::midi
