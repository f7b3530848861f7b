#include "deck/displays/PacedTimer.h"

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <vector>

namespace zen::deck {

namespace {

// The one wake-up a frame of a thread's paced timers. It runs while any of them does.
class FrameClock {
public:
    static FrameClock& ofThisThread() {
        thread_local FrameClock clock;
        return clock;
    }

    qint64 now() const { return since_.elapsed(); }

    void add(PacedTimer* timer) {
        if (std::find(timers_.begin(), timers_.end(), timer) == timers_.end())
            timers_.push_back(timer);
        if (!wake_.isActive()) wake_.start();
    }

    void remove(PacedTimer* timer) {
        const auto it = std::find(timers_.begin(), timers_.end(), timer);
        if (it == timers_.end()) return;
        // During a frame the list is walked by index: the slot is emptied, and dropped after.
        if (inFrame_)
            *it = nullptr;
        else
            timers_.erase(it);
        if (!inFrame_ && timers_.empty()) wake_.stop();
    }

private:
    FrameClock() {
        since_.start();
        wake_.setTimerType(Qt::PreciseTimer);
        wake_.setInterval(PacedTimer::kFrameMs);
        wake_.callOnTimeout([this] { frame(); });
    }

    void frame() {
        const qint64 now = since_.elapsed();
        // A timer that a handler starts waits for the next frame.
        const std::size_t count = timers_.size();
        inFrame_ = true;
        for (std::size_t i = 0; i < count; ++i)
            if (timers_[i] != nullptr) timers_[i]->frame(now);
        inFrame_ = false;
        std::erase(timers_, nullptr);
        if (timers_.empty()) wake_.stop();
    }

    QElapsedTimer since_;
    QTimer wake_;
    std::vector<PacedTimer*> timers_;
    bool inFrame_ = false;
};

} // namespace

PacedTimer::PacedTimer(int intervalMs, Handler handler)
    : intervalMs_(intervalMs), handler_(std::move(handler)) {}

PacedTimer::~PacedTimer() {
    stop();
}

void PacedTimer::start() {
    FrameClock& clock = FrameClock::ofThisThread();
    dueMs_ = clock.now() + intervalMs_;
    active_ = true;
    clock.add(this);
}

void PacedTimer::stop() {
    if (!active_) return;
    active_ = false;
    FrameClock::ofThisThread().remove(this);
}

void PacedTimer::setInterval(int ms) {
    intervalMs_ = ms;
}

int PacedTimer::remainingTime() const {
    if (!active_) return -1;
    return static_cast<int>(std::max<qint64>(0, dueMs_ - FrameClock::ofThisThread().now()));
}

void PacedTimer::frame(qint64 nowMs) {
    if (!active_ || nowMs < dueMs_) return;
    const int ticks = intervalMs_ > 0 ? static_cast<int>((nowMs - dueMs_) / intervalMs_) + 1 : 1;
    if (singleShot_)
        stop();
    else
        dueMs_ = intervalMs_ > 0 ? dueMs_ + static_cast<qint64>(ticks) * intervalMs_ : nowMs;
    handler_(ticks);
}

} // namespace zen::deck
