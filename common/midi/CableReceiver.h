#pragma once

#include "common/midi/ShortMessage.h"

#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace zen::midi {

// One opened input of a cable: a datagram socket of its own in the cable folder, drained by a
// reader thread so that senders find room even while the window thread is busy. Datagrams that
// are not a 1 to 3 byte MIDI short message are dropped.
class CableReceiver {
public:
    using MessageFn = std::function<void(const ShortMessage&)>;
    using ErrorFn = std::function<void(const std::string&)>;

    // Binds a fresh socket for cable 1..8 in a checked folder; nullptr and the reason in `error`
    // when that fails. The callbacks run on the reader thread.
    static std::unique_ptr<CableReceiver> open(const std::string& folder, int cable,
                                               MessageFn onMessage, ErrorFn onError,
                                               std::string& error);
    ~CableReceiver();
    CableReceiver(const CableReceiver&) = delete;
    CableReceiver& operator=(const CableReceiver&) = delete;

    const std::string& socketPath() const { return path_; }

private:
    CableReceiver(int fd, int stopFd, std::string path, MessageFn onMessage, ErrorFn onError);
    void run();
    // Reads every datagram waiting; false when the socket failed.
    bool drainSocket();

    int fd_;
    int stopFd_;
    std::string path_;
    MessageFn onMessage_;
    ErrorFn onError_;
    std::thread thread_;
};

} // namespace zen::midi
