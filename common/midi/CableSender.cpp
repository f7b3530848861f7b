#include "common/midi/CableSender.h"

#include "common/midi/CableFolder.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace zen::midi {

namespace {

enum class Connect { Ok, Stale, Failed };

Connect connectTo(const std::string& path, int& fd) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return Connect::Failed;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return Connect::Failed;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return Connect::Ok;
    const int err = errno;
    close(fd);
    fd = -1;
    return err == ECONNREFUSED ? Connect::Stale : Connect::Failed;
}

} // namespace

CableSender::CableSender(std::string folder, int cable)
    : folder_(std::move(folder)), prefix_(cableSocketPrefix(cable)) {
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
}

void CableSender::send(const ShortMessage& message) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(message);
    }
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
        std::deque<ShortMessage> batch;
        batch.swap(queue_);
        busy_ = true;
        lock.unlock();
        rescan();
        for (const ShortMessage& message : batch)
            deliver(message);
        lock.lock();
        busy_ = false;
        if (queue_.empty()) idle_.notify_all();
    }
}

void CableSender::rescan() {
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
        const std::string path = folder_ + "/" + name;
        switch (connectTo(path, peer.fd)) {
        case Connect::Ok:
            peers_.emplace(name, peer);
            break;
        case Connect::Stale:
            unlink(path.c_str());
            break;
        case Connect::Failed:
            break;
        }
    }
}

void CableSender::deliver(const ShortMessage& message) {
    std::vector<std::string> gone;
    for (auto& [name, peer] : peers_)
        if (!sendTo(peer, message)) gone.push_back(name);
    for (const std::string& name : gone) {
        forget(name, peers_[name]);
        peers_.erase(name);
    }
}

bool CableSender::sendTo(Peer& peer, const ShortMessage& message) {
    const std::uint8_t bytes[3] = {message.status, message.data1, message.data2};
    const auto deadline = std::chrono::steady_clock::now() + kStallTimeout;
    for (;;) {
        if (::send(peer.fd, bytes, message.size, MSG_DONTWAIT | MSG_NOSIGNAL) >= 0) {
            peer.stalled = false;
            return true;
        }
        switch (errno) {
        case EINTR:
            continue;
        case EAGAIN: {
            if (peer.stalled) return true;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd pfd{peer.fd, POLLOUT, 0};
            if (left.count() <= 0 || poll(&pfd, 1, static_cast<int>(left.count()) + 1) == 0) {
                peer.stalled = true;
                return true;
            }
            continue;
        }
        case ECONNREFUSED:
        case ECONNRESET:
        case ENOTCONN:
            return false;
        default: // nothing better to do with this one message than to drop it
            return true;
        }
    }
}

void CableSender::forget(const std::string& name, Peer& peer) {
    close(peer.fd);
    // The reader closed without unlinking (it died); remove its file unless a live socket has
    // taken the name meanwhile.
    const std::string path = folder_ + "/" + name;
    int probe = -1;
    switch (connectTo(path, probe)) {
    case Connect::Ok:
        close(probe);
        break;
    case Connect::Stale:
        unlink(path.c_str());
        break;
    case Connect::Failed:
        break;
    }
}

} // namespace zen::midi
