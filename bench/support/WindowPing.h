#pragma once

#include <QString>
#include <atomic>
#include <thread>

struct xcb_connection_t;

namespace zen::bench {

// How long a program's window thread leaves its window unanswered: a window manager's ping
// (_NET_WM_PING), which Qt answers on the window thread, sent every millisecond while this object
// watches; the longest wait for an answer, to the millisecond.
class WindowPing {
public:
    // `window` is an X window id in decimal, as xdotool gives it.
    explicit WindowPing(const QString& window);
    ~WindowPing();
    WindowPing(const WindowPing&) = delete;
    WindowPing& operator=(const WindowPing&) = delete;

    bool connected() const { return connection_ != nullptr; }
    // Pings until stop(); the longest wait starts at 0.
    void start();
    // The longest wait since start(), in ms; -1 when no ping was ever answered.
    double stop();

private:
    void run();

    xcb_connection_t* connection_ = nullptr;
    unsigned window_ = 0;
    unsigned root_ = 0;
    unsigned protocols_ = 0;
    unsigned ping_ = 0;
    std::atomic<bool> running_{false};
    std::atomic<double> longest_{-1};
    std::thread thread_;
};

} // namespace zen::bench
