#include "common/midi/CableSender.h"

#include "common/midi/CableFolder.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <poll.h>
#include <set>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace zen::midi {

namespace {

// Connects to a reader's socket; true when connected. A socket file that refuses the connection
// belongs to a reader that died without removing it, and is removed here.
bool connectTo(const std::string& path, int& fd) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return true;
    const int err = errno;
    close(fd);
    fd = -1;
    if (err == ECONNREFUSED) unlink(path.c_str());
    return false;
}

} // namespace

CableSender::CableSender(std::string folder, int cable)
    : folder_(std::move(folder)), prefix_(cableSocketPrefix(cable)) {
    watch_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_ >= 0 &&
        inotify_add_watch(watch_, folder_.c_str(),
                          IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM | IN_ONLYDIR) < 0) {
        close(watch_);
        watch_ = -1;
    }
    thread_ = std::thread([this] { run(); });
}

CableSender::~CableSender() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
    for (auto& [name, peer] : peers_)
        close(peer.fd);
    if (watch_ >= 0) close(watch_);
}

void CableSender::send(const ShortMessage& message) {
    std::unique_lock lock(mutex_);
    if (busy_ || !queue_.empty()) {
        queue_.push_back({message, {}});
        lock.unlock();
        wake_.notify_one();
        return;
    }
    refreshPeers();
    Waiting rest{message, {}};
    std::vector<std::string> gone;
    for (auto& [name, peer] : peers_) {
        switch (offer(peer, message)) {
        case Outcome::Sent:
            break;
        case Outcome::Full:
            if (!peer.stalled) rest.only.push_back(name);
            break;
        case Outcome::Gone:
            gone.push_back(name);
            break;
        }
    }
    for (const std::string& name : gone)
        forget(name);
    if (rest.only.empty()) return;
    queue_.push_back(std::move(rest));
    lock.unlock();
    wake_.notify_one();
}

bool CableSender::flush(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, timeout, [this] { return queue_.empty() && !busy_; });
}

void CableSender::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return; // stopping, and everything has gone out
        std::deque<Waiting> batch;
        batch.swap(queue_);
        busy_ = true;
        lock.unlock();
        refreshPeers();
        for (const Waiting& waiting : batch)
            deliver(waiting);
        lock.lock();
        busy_ = false;
        if (queue_.empty()) idle_.notify_all();
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
            close(it->second.fd);
            it = peers_.erase(it);
        }
    }
    for (const std::string& name : present) {
        if (peers_.count(name)) continue;
        Peer peer;
        if (connectTo(folder_ + "/" + name, peer.fd)) peers_.emplace(name, peer);
    }
}

void CableSender::deliver(const Waiting& waiting) {
    std::vector<std::string> gone;
    if (waiting.only.empty()) {
        for (auto& [name, peer] : peers_)
            if (!sendWaiting(peer, waiting.message)) gone.push_back(name);
    } else {
        for (const std::string& name : waiting.only) {
            const auto it = peers_.find(name);
            if (it != peers_.end() && !sendWaiting(it->second, waiting.message))
                gone.push_back(name);
        }
    }
    for (const std::string& name : gone)
        forget(name);
}

CableSender::Outcome CableSender::offer(Peer& peer, const ShortMessage& message) {
    const std::uint8_t bytes[3] = {message.status, message.data1, message.data2};
    for (;;) {
        if (::send(peer.fd, bytes, message.size, MSG_DONTWAIT | MSG_NOSIGNAL) >= 0) {
            peer.stalled = false;
            return Outcome::Sent;
        }
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
            return Outcome::Sent;
        }
    }
}

bool CableSender::sendWaiting(Peer& peer, const ShortMessage& message) {
    const auto deadline = std::chrono::steady_clock::now() + kStallTimeout;
    for (;;) {
        switch (offer(peer, message)) {
        case Outcome::Sent:
            return true;
        case Outcome::Gone:
            return false;
        case Outcome::Full:
            break;
        }
        if (peer.stalled) return true;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd pfd{peer.fd, POLLOUT, 0};
        if (left.count() <= 0 || poll(&pfd, 1, static_cast<int>(left.count()) + 1) == 0) {
            peer.stalled = true;
            return true;
        }
    }
}

void CableSender::forget(const std::string& name) {
    const auto it = peers_.find(name);
    if (it == peers_.end()) return;
    close(it->second.fd);
    peers_.erase(it);
    // The reader closed without removing its socket file (it died); remove the file unless a
    // live socket has taken the name meanwhile.
    int probe = -1;
    if (connectTo(folder_ + "/" + name, probe)) close(probe);
}

} // namespace zen::midi
