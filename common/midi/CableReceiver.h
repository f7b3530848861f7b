#pragma once

#include "common/midi/ShortMessage.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace zen::midi {

// One opened input of a cable: a datagram socket of its own in the cable folder. The window
// thread reads it (readWaiting, when the socket is readable), so a message costs one thread
// wake-up on its way to the handler. A reader thread stands by so that senders find room while
// the window thread is busy: it looks at the socket now and then, and once it finds a message
// left waiting, it reads every message as it arrives until the window thread has caught up with
// the events waiting for it. Datagrams that are not a 1 to 3 byte MIDI short message are dropped.
class CableReceiver {
public:
    using MessageFn = std::function<void(const ShortMessage&)>;
    using ErrorFn = std::function<void(const std::string&)>;
    // True while events wait for the window thread.
    using BehindFn = std::function<bool()>;

    // How often the standing-by reader thread looks for a message the window thread left.
    static constexpr int kWatchMs = 20;

    // Binds a fresh socket for cable 1..8 in a checked folder; nullptr and the reason in `error`
    // when that fails. The callbacks run on the thread that reads.
    static std::unique_ptr<CableReceiver> open(const std::string& folder, int cable,
                                               MessageFn onMessage, ErrorFn onError,
                                               BehindFn windowBehind, std::string& error);
    ~CableReceiver();
    CableReceiver(const CableReceiver&) = delete;
    CableReceiver& operator=(const CableReceiver&) = delete;

    int descriptor() const { return fd_; }
    // Reads every datagram waiting; false once the socket has failed (reported once).
    bool readWaiting();
    const std::string& socketPath() const { return path_; }

private:
    CableReceiver(int fd, int stopFd, std::string path, MessageFn onMessage, ErrorFn onError,
                  BehindFn windowBehind);
    void run();

    int fd_;
    int stopFd_;
    std::string path_;
    MessageFn onMessage_;
    ErrorFn onError_;
    BehindFn windowBehind_;
    // Held while reading and handing on, so the two readers keep the arrival order.
    std::mutex readMutex_;
    bool failed_ = false;
    std::thread thread_;
};

} // namespace zen::midi
