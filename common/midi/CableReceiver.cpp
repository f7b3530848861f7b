#include "common/midi/CableReceiver.h"

#include "common/midi/CableFolder.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace zen::midi {

namespace {

std::atomic<unsigned> socketCounter{0};

bool fillAddress(const std::string& path, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// True when nothing listens on the path any more: a socket left behind by a process that died.
bool isStale(const std::string& path) {
    sockaddr_un addr;
    if (!fillAddress(path, addr)) return false;
    const int probe = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (probe < 0) return false;
    const bool refused = connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 &&
                         errno == ECONNREFUSED;
    close(probe);
    return refused;
}

} // namespace

std::unique_ptr<CableReceiver> CableReceiver::open(const std::string& folder, int cable,
                                                   MessageFn onMessage, ErrorFn onError,
                                                   std::string& error) {
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = std::string("Cannot make a MIDI cable socket: ") + std::strerror(errno);
        return nullptr;
    }
    std::string path;
    for (int attempt = 0;; ++attempt) {
        path = folder + "/" + cableSocketPrefix(cable) + std::to_string(getpid()) + "-" +
               std::to_string(socketCounter++) + ".sock";
        sockaddr_un addr;
        if (!fillAddress(path, addr)) {
            close(fd);
            error = "The MIDI cable folder path is too long: " + folder;
            return nullptr;
        }
        if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) break;
        // A name left by an earlier process with our process number: reclaim it if dead.
        if (errno == EADDRINUSE && attempt < 16) {
            if (isStale(path)) unlink(path.c_str());
            continue;
        }
        error = "Cannot open MIDI cable " + std::to_string(cable) + " at " + path + ": " +
                std::strerror(errno);
        close(fd);
        return nullptr;
    }
    const int stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd < 0) {
        error = std::string("Cannot open a MIDI cable: ") + std::strerror(errno);
        unlink(path.c_str());
        close(fd);
        return nullptr;
    }
    return std::unique_ptr<CableReceiver>(
        new CableReceiver(fd, stopFd, path, std::move(onMessage), std::move(onError)));
}

CableReceiver::CableReceiver(int fd, int stopFd, std::string path, MessageFn onMessage,
                             ErrorFn onError)
    : fd_(fd), stopFd_(stopFd), path_(std::move(path)), onMessage_(std::move(onMessage)),
      onError_(std::move(onError)) {
    thread_ = std::thread([this] { run(); });
}

CableReceiver::~CableReceiver() {
    // Unlink first so that senders stop finding this input while the thread winds down.
    unlink(path_.c_str());
    const std::uint64_t one = 1;
    // An eventfd write only fails on counter overflow, which one write cannot reach.
    [[maybe_unused]] const ssize_t written = write(stopFd_, &one, sizeof one);
    thread_.join();
    close(stopFd_);
    close(fd_);
}

void CableReceiver::run() {
    pollfd fds[2] = {{fd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            onError_(std::string("Waiting for MIDI cable input failed: ") + std::strerror(errno));
            return;
        }
        if (fds[1].revents) return;
        if (fds[0].revents && !drainSocket()) return;
    }
}

bool CableReceiver::drainSocket() {
    for (;;) {
        std::uint8_t buffer[4];
        // MSG_TRUNC reports a datagram's whole length, so a long one is seen and dropped.
        const ssize_t n = recv(fd_, buffer, sizeof buffer, MSG_TRUNC);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
            onError_(std::string("Reading a MIDI cable failed: ") + std::strerror(errno));
            return false;
        }
        if (static_cast<std::size_t>(n) > sizeof buffer) continue;
        if (auto message = parseShortMessage(buffer, static_cast<std::size_t>(n)))
            onMessage_(*message);
    }
}

} // namespace zen::midi
