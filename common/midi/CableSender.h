#pragma once

#include "common/midi/ShortMessage.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace zen::midi {

// The sending end of a cable: writes each message to every input of the cable. Every input has a
// queue of its own: the caller's thread hands a message straight to each input whose queue is
// empty, without waiting, and appends it to the queue of an input whose socket is full. A worker
// thread empties those queues as their inputs find room, so the window thread never waits on a
// receiver, order is kept per input, and a slow input holds up no other. The folder is watched,
// so an input opened a moment ago gets the very next message; sockets left behind by dead
// processes are removed as they are found.
//
// A receiving socket holds only a few datagrams, but its reader empties it at once, so a full
// socket normally means "a moment" and nothing is lost in a burst. An input whose queue has not
// moved for kStallTimeout is taken as hung (a stopped or frozen process): its queue is dropped,
// and later messages are offered to it without queueing until it reads again.
class CableSender {
public:
    static constexpr std::chrono::milliseconds kStallTimeout{500};
    // Past this many messages waiting for one input the newest are dropped for it.
    static constexpr std::size_t kMaxWaiting = 1 << 20;

    CableSender(std::string folder, int cable);
    // Sends what is still waiting (bounded by the stall timeout), then stops the worker.
    ~CableSender();
    CableSender(const CableSender&) = delete;
    CableSender& operator=(const CableSender&) = delete;

    void send(const ShortMessage& message);
    // Waits until no message waits for any input any more; false on timeout.
    bool flush(std::chrono::milliseconds timeout);
    // How many times an input did not get a message: it was hung, too far behind, or refused it.
    std::uint64_t dropped();
    // How many times an input was handed a message.
    std::uint64_t delivered();

private:
    using Clock = std::chrono::steady_clock;
    struct Peer {
        Peer(std::string name, int fd) : name(std::move(name)), fd(fd) {}
        ~Peer();
        Peer(const Peer&) = delete;
        Peer& operator=(const Peer&) = delete;

        const std::string name; // the socket file's name in the folder
        const int fd;
        std::deque<ShortMessage> waiting;
        Clock::time_point moved; // when its queue started or last moved
        bool stalled = false;
        bool sending = false;   // the worker is writing a batch taken from the queue
        bool forgotten = false; // no longer among the peers; the worker may still hold it
    };
    enum class Outcome { Sent, Full, Gone, Refused };

    // How many waiting messages the worker takes out of a queue at a time.
    static constexpr std::size_t kBatch = 16;

    void run();
    static Outcome offer(int fd, const ShortMessage& message);
    // The rest is called with the mutex held.
    void refreshPeers();
    void rescan();
    void enqueue(Peer& peer, const ShortMessage& message);
    // Sends from the peer's queue until its socket is full, letting go of the mutex while it
    // writes; false when the peer is gone.
    bool sendWaiting(Peer& peer, std::unique_lock<std::mutex>& lock);
    bool anyWaiting() const;
    void forget(Peer& peer);
    void wakeWorker();

    const std::string folder_;
    const std::string prefix_;
    int watch_ = -1; // inotify on the folder; -1: scan before every message
    int wake_ = -1;  // eventfd that wakes the worker

    std::mutex mutex_;
    std::condition_variable idle_;
    bool stopping_ = false;
    bool scanned_ = false;
    std::uint64_t dropped_ = 0;
    std::uint64_t delivered_ = 0;
    std::map<std::string, std::shared_ptr<Peer>> peers_; // by socket file name
    std::thread thread_;
};

} // namespace zen::midi
