#include "common/midi/CableSender.h"

#include "common/midi/CableFolder.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <poll.h>
#include <set>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace zen::midi {

namespace {

// Without its wake-up descriptor the worker looks at the queues this often.
constexpr int kPollWithoutWakeMs = 10;

// Connects to a reader's socket; the descriptor, or -1. A socket file that refuses the
// connection belongs to a reader that died without removing it, and is removed here.
int connectTo(const std::string& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return -1;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return fd;
    const int err = errno;
    close(fd);
    if (err == ECONNREFUSED) unlink(path.c_str());
    return -1;
}

} // namespace

CableSender::Peer::~Peer() {
    close(fd);
}

CableSender::CableSender(std::string folder, int cable)
    : folder_(std::move(folder)), prefix_(cableSocketPrefix(cable)) {
    watch_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_ >= 0 &&
        inotify_add_watch(watch_, folder_.c_str(),
                          IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM | IN_ONLYDIR) < 0) {
        close(watch_);
        watch_ = -1;
    }
    wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    thread_ = std::thread([this] { run(); });
}

CableSender::~CableSender() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        wakeWorker();
    }
    thread_.join();
    peers_.clear();
    if (watch_ >= 0) close(watch_);
    if (wake_ >= 0) close(wake_);
}

void CableSender::send(const ShortMessage& message) {
    std::lock_guard lock(mutex_);
    refreshPeers();
    std::vector<std::shared_ptr<Peer>> gone;
    for (auto& [name, peer] : peers_) {
        // Behind already: the message joins its queue, so the order is kept.
        if (peer->sending || !peer->waiting.empty()) {
            enqueue(*peer, message);
            continue;
        }
        switch (offer(peer->fd, message)) {
        case Outcome::Sent:
            peer->stalled = false;
            ++delivered_;
            break;
        case Outcome::Full:
            if (peer->stalled) {
                ++dropped_;
                break;
            }
            peer->moved = Clock::now();
            enqueue(*peer, message);
            wakeWorker();
            break;
        case Outcome::Gone:
            gone.push_back(peer);
            break;
        case Outcome::Refused:
            ++dropped_;
            break;
        }
    }
    for (const auto& peer : gone)
        forget(*peer);
}

bool CableSender::flush(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, timeout, [this] { return !anyWaiting(); });
}

std::uint64_t CableSender::dropped() {
    std::lock_guard lock(mutex_);
    return dropped_;
}

std::uint64_t CableSender::delivered() {
    std::lock_guard lock(mutex_);
    return delivered_;
}

void CableSender::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        // The worker polls the peers that are behind, holding them so that their sockets stay
        // open while it waits without the mutex.
        std::vector<std::shared_ptr<Peer>> behind;
        std::vector<pollfd> fds{{wake_, POLLIN, 0}};
        auto stallAt = Clock::time_point::max();
        for (const auto& [name, peer] : peers_) {
            if (peer->waiting.empty()) continue;
            behind.push_back(peer);
            fds.push_back({peer->fd, POLLOUT, 0});
            stallAt = std::min(stallAt, peer->moved + kStallTimeout);
        }
        if (behind.empty()) {
            idle_.notify_all();
            if (stopping_) return;
        }
        int timeout = wake_ < 0 ? kPollWithoutWakeMs : -1;
        if (!behind.empty()) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(stallAt - Clock::now()).count();
            const int untilStall = static_cast<int>(std::max<decltype(left)>(left, 0));
            timeout = timeout < 0 ? untilStall : std::min(timeout, untilStall);
        }
        lock.unlock();
        const int ready = poll(fds.data(), fds.size(), timeout);
        if (ready > 0 && fds[0].revents) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = read(wake_, &count, sizeof count);
        }
        lock.lock();
        for (std::size_t i = 0; i < behind.size(); ++i) {
            Peer& peer = *behind[i];
            if (peer.forgotten) continue; // meanwhile, by the caller's thread
            if (ready > 0 && fds[i + 1].revents && !sendWaiting(peer, lock)) {
                forget(peer);
                continue;
            }
            if (!peer.waiting.empty() && Clock::now() >= peer.moved + kStallTimeout) {
                peer.stalled = true;
                dropped_ += peer.waiting.size();
                peer.waiting.clear();
            }
        }
    }
}

void CableSender::refreshPeers() {
    bool changed = !scanned_ || watch_ < 0;
    if (watch_ >= 0) {
        alignas(inotify_event) char events[4096];
        ssize_t n;
        while (watch_ >= 0 && (n = read(watch_, events, sizeof events)) > 0) {
            changed = true;
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                // The folder itself went away: no event will come any more, so scan every time.
                if (event->mask & IN_IGNORED) {
                    close(watch_);
                    watch_ = -1;
                    break;
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }
    if (changed) rescan();
}

void CableSender::rescan() {
    scanned_ = true;
    std::set<std::string> present;
    if (DIR* dir = opendir(folder_.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.starts_with(prefix_) && name.ends_with(".sock")) present.insert(name);
        }
        closedir(dir);
    }
    for (auto it = peers_.begin(); it != peers_.end();) {
        if (present.count(it->first)) {
            ++it;
        } else {
            it->second->forgotten = true;
            it = peers_.erase(it);
        }
    }
    for (const std::string& name : present) {
        if (peers_.count(name)) continue;
        const int fd = connectTo(folder_ + "/" + name);
        if (fd >= 0) peers_.emplace(name, std::make_shared<Peer>(name, fd));
    }
}

CableSender::Outcome CableSender::offer(int fd, const ShortMessage& message) {
    const std::uint8_t bytes[3] = {message.status, message.data1, message.data2};
    for (;;) {
        if (::send(fd, bytes, message.size, MSG_DONTWAIT | MSG_NOSIGNAL) >= 0) return Outcome::Sent;
        switch (errno) {
        case EINTR:
            continue;
        case EAGAIN:
            return Outcome::Full;
        case ECONNREFUSED:
        case ECONNRESET:
        case ENOTCONN:
            return Outcome::Gone;
        default: // nothing better to do with this one message than to drop it
            return Outcome::Refused;
        }
    }
}

void CableSender::enqueue(Peer& peer, const ShortMessage& message) {
    if (peer.waiting.size() >= kMaxWaiting) {
        ++dropped_;
        return;
    }
    peer.waiting.push_back(message);
}

bool CableSender::sendWaiting(Peer& peer, std::unique_lock<std::mutex>& lock) {
    std::array<ShortMessage, kBatch> batch;
    for (;;) {
        const std::size_t taken = std::min(kBatch, peer.waiting.size());
        if (taken == 0) return true;
        std::copy_n(peer.waiting.begin(), taken, batch.begin());
        peer.waiting.erase(peer.waiting.begin(), peer.waiting.begin() + taken);
        // The sockets are written without the mutex, so the caller's sends never wait on them;
        // meanwhile its messages for this peer join the queue behind the batch.
        peer.sending = true;
        lock.unlock();
        std::size_t done = 0;
        std::uint64_t refused = 0;
        Outcome outcome = Outcome::Sent;
        for (; done < taken; ++done) {
            outcome = offer(peer.fd, batch[done]);
            if (outcome == Outcome::Full || outcome == Outcome::Gone) break;
            if (outcome == Outcome::Refused) ++refused;
        }
        lock.lock();
        peer.sending = false;
        dropped_ += refused;
        delivered_ += done - refused;
        peer.waiting.insert(peer.waiting.begin(), batch.begin() + static_cast<std::ptrdiff_t>(done),
                            batch.begin() + static_cast<std::ptrdiff_t>(taken));
        if (done > 0) {
            peer.moved = Clock::now();
            peer.stalled = false;
        }
        if (outcome == Outcome::Gone) return false;
        if (outcome == Outcome::Full) return true;
    }
}

bool CableSender::anyWaiting() const {
    return std::any_of(peers_.begin(), peers_.end(), [](const auto& entry) {
        return entry.second->sending || !entry.second->waiting.empty();
    });
}

void CableSender::forget(Peer& peer) {
    if (peer.forgotten) return;
    const std::string name = peer.name;
    peer.forgotten = true;
    // Whatever waited for it is lost with it; the worker must see that nothing waits any more.
    if (!peer.waiting.empty()) wakeWorker();
    peers_.erase(name);
    // The reader closed without removing its socket file (it died); remove the file unless a
    // live socket has taken the name meanwhile.
    const int probe = connectTo(folder_ + "/" + name);
    if (probe >= 0) close(probe);
}

void CableSender::wakeWorker() {
    if (wake_ < 0) return;
    const std::uint64_t one = 1;
    // An eventfd write only fails on counter overflow, which the worker's reads prevent.
    [[maybe_unused]] const ssize_t n = write(wake_, &one, sizeof one);
}

} // namespace zen::midi
