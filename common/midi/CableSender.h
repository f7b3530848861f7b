#pragma once

#include "common/midi/ShortMessage.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace zen::midi {

// The sending end of a cable. send() only queues the message: a worker thread writes it to every
// input of the cable, so the window thread never waits on a receiver. Each scan of the folder
// finds inputs opened meanwhile and removes the sockets of dead processes.
//
// Overflow: a receiving socket holds only a few datagrams; its reader thread empties it at once,
// so a full socket normally means "a moment": the worker waits for room, and no message is lost
// in a burst. A receiver that takes nothing for kStallTimeout is taken as hung (a stopped or
// frozen process): that message is dropped for it, and later ones are offered without waiting
// until it reads again, so one hung deck never holds up the other.
class CableSender {
public:
    static constexpr std::chrono::milliseconds kStallTimeout{500};

    CableSender(std::string folder, int cable);
    // Sends what is still queued (bounded by the stall timeout), then stops the worker.
    ~CableSender();
    CableSender(const CableSender&) = delete;
    CableSender& operator=(const CableSender&) = delete;

    void send(const ShortMessage& message);
    // Waits until every queued message has been handed to the receivers; false on timeout.
    bool flush(std::chrono::milliseconds timeout);

private:
    struct Peer {
        int fd = -1;
        bool stalled = false;
    };

    void run();
    void rescan();
    void deliver(const ShortMessage& message);
    // False when the peer is gone and must be forgotten.
    bool sendTo(Peer& peer, const ShortMessage& message);
    void forget(const std::string& name, Peer& peer);

    const std::string folder_;
    const std::string prefix_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<ShortMessage> queue_;
    bool busy_ = false;
    bool stopping_ = false;

    std::map<std::string, Peer> peers_; // worker thread only, by socket file name
    std::thread thread_;
};

} // namespace zen::midi
