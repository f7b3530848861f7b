#pragma once

#include "common/midi/ShortMessage.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zen::midi {

// The sending end of a cable: writes each message to every input of the cable. The caller's
// thread offers a message once, without waiting, to each input; an input whose socket is full at
// that moment, and every later message while any is still waiting, goes to a worker thread that
// waits for room. So the window thread never waits on a receiver and order is kept per input.
// The folder is watched, so an input opened a moment ago gets the very next message; sockets
// left behind by dead processes are removed as they are found.
//
// Overflow: a receiving socket holds only a few datagrams, but its reader thread empties it at
// once, so a full socket normally means "a moment": the worker waits, and no message is lost in
// a burst. A receiver that takes nothing for kStallTimeout is taken as hung (a stopped or frozen
// process): that message is dropped for it, and later ones are offered to it without waiting
// until it reads again, so one hung deck never holds up the other.
class CableSender {
public:
    static constexpr std::chrono::milliseconds kStallTimeout{500};

    CableSender(std::string folder, int cable);
    // Sends what is still waiting (bounded by the stall timeout), then stops the worker.
    ~CableSender();
    CableSender(const CableSender&) = delete;
    CableSender& operator=(const CableSender&) = delete;

    void send(const ShortMessage& message);
    // Waits until every waiting message has been handed to the receivers; false on timeout.
    bool flush(std::chrono::milliseconds timeout);

private:
    struct Peer {
        int fd = -1;
        bool stalled = false;
    };
    struct Waiting {
        ShortMessage message;
        std::vector<std::string> only; // the inputs still to get it; empty: all of them
    };
    enum class Outcome { Sent, Full, Gone };

    void run();
    // Peers are touched by the worker while busy_, otherwise under the mutex.
    void refreshPeers();
    void rescan();
    void deliver(const Waiting& waiting);
    Outcome offer(Peer& peer, const ShortMessage& message);
    // Waits for room until the stall timeout; false when the peer is gone.
    bool sendWaiting(Peer& peer, const ShortMessage& message);
    void forget(const std::string& name);

    const std::string folder_;
    const std::string prefix_;
    int watch_ = -1; // inotify on the folder; -1: scan before every message

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Waiting> queue_;
    bool busy_ = false;
    bool stopping_ = false;

    bool scanned_ = false;
    std::map<std::string, Peer> peers_; // by socket file name
    std::thread thread_;
};

} // namespace zen::midi
