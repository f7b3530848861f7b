#include "common/midi/EventQueue.h"

#include "common/midi/MidiPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>

namespace zen::midi {

namespace {
// The window thread gets back to its own work after this long even under a flood of messages.
constexpr qint64 kSliceMs = 4;
} // namespace

std::shared_ptr<EventQueue> EventQueue::shared() {
    static const std::shared_ptr<EventQueue> queue(new EventQueue);
    return queue;
}

void EventQueue::post(Event event) {
    std::lock_guard lock(mutex_);
    pending_.push(std::move(event));
    if (!wakePending_) wakePending_ = wake();
}

bool EventQueue::hasWaiting() {
    std::lock_guard lock(mutex_);
    return !pending_.empty();
}

bool EventQueue::wake() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return false;
    // The queue lives as long as the process, so the window thread may simply look it up.
    QMetaObject::invokeMethod(
        app, [] { shared()->drain(); }, Qt::QueuedConnection);
    return true;
}

std::uint64_t EventQueue::registerPort(MidiPort* port) {
    const std::uint64_t id = nextPortId_++;
    ports_.emplace(id, port);
    return id;
}

void EventQueue::unregisterPort(std::uint64_t id) {
    ports_.erase(id);
}

void EventQueue::drain() {
    if (inHandler_) return;
    QElapsedTimer slice;
    slice.start();
    for (;;) {
        Event event;
        {
            std::lock_guard lock(mutex_);
            if (pending_.empty()) {
                wakePending_ = false;
                return;
            }
            if (slice.elapsed() >= kSliceMs) {
                wakePending_ = wake();
                return;
            }
            event = std::move(*pending_.pop());
        }
        const auto it = ports_.find(event.portId);
        if (it == ports_.end()) continue;
        struct HandlerScope {
            bool& flag;
            explicit HandlerScope(bool& f) : flag(f) { flag = true; }
            ~HandlerScope() { flag = false; }
        } scope(inHandler_);
        it->second->deliver(event);
    }
}

} // namespace zen::midi
