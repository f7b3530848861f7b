#pragma once

#include <QSemaphore>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>

namespace zen::console {

// The thread that reads, routes and sends the keys, apart from the window thread, so a key
// reaches its deck while the window repaints, shows a message or waits. It runs an event loop
// (X server and D-Bus readers live on it) at real-time priority where the system lets it: a
// limit RLIMIT_RTPRIO above 0 (as the audio group has) or the right to set priorities; otherwise
// at normal priority, quietly.
class KeyThread : public QThread {
    Q_OBJECT
public:
    // Below the sound servers' and the audio callbacks' priorities, above every normal thread.
    static constexpr int kPriority = 5;

    KeyThread();
    ~KeyThread() override;

    // Starts the thread and returns once its event loop takes work.
    void begin();
    // Ends the event loop and the thread.
    void end();
    // Runs `work` on the thread and returns when it is done; on the calling thread when the key
    // thread is not running (or is the caller).
    void runHere(const std::function<void()>& work);
    // Runs `work` on the thread later, in the order posted; dropped when it is not running.
    void post(std::function<void()> work);

protected:
    void run() override;

private:
    std::atomic<QObject*> context_{nullptr};
    QSemaphore ready_;
};

} // namespace zen::console
