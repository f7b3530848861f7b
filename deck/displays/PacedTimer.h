#pragma once

#include <QtGlobal>
#include <functional>

namespace zen::deck {

// A timer whose period is a schedule, not a wake-up rate. The deck's displays tick every 10 to
// 35 ms (every millisecond in the spectrum's bar view), but what a tick changes is seen only when
// the window paints, once a frame of the screen, and on this machine a wake-up of the window
// thread costs more than most ticks' work. So paced timers share one wake-up a frame: the window
// thread's frame clock runs while any of them does, and on each frame hands every timer the number
// of its ticks that fell due since it last ran. A tick never runs early and at most a frame late.
// Like a QTimer, a paced timer belongs to the thread that made it; the deck uses the window thread.
class PacedTimer {
public:
    // About one refresh of the screen.
    static constexpr int kFrameMs = 16;

    // `ticks` is at least 1: the periods that elapsed since the handler last ran.
    using Handler = std::function<void(int ticks)>;

    PacedTimer(int intervalMs, Handler handler);
    ~PacedTimer();
    PacedTimer(const PacedTimer&) = delete;
    PacedTimer& operator=(const PacedTimer&) = delete;

    // (Re)starts the schedule: the first tick falls due one period from now.
    void start();
    void stop();
    bool isActive() const { return active_; }
    // A running schedule keeps the tick already due; the new period counts from there.
    void setInterval(int ms);
    int interval() const { return intervalMs_; }
    // A single-shot timer stops after its tick.
    void setSingleShot(bool singleShot) { singleShot_ = singleShot; }
    // Milliseconds until the next tick falls due, 0 when it is due, -1 when stopped.
    int remainingTime() const;

    // One frame of the clock, at `nowMs` on its monotonic count.
    void frame(qint64 nowMs);

private:
    int intervalMs_;
    Handler handler_;
    bool active_ = false;
    bool singleShot_ = false;
    qint64 dueMs_ = 0;
};

} // namespace zen::deck
