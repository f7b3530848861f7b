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
                                                   BehindFn windowBehind, std::string& error) {
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = std::string("Cannot make a MIDI cable socket: ") + std::strerror(errno);
        return nullptr;
    }
    std::string path;
    for (int attempt = 0;; ++attempt) {
        path = folder + "/" + cableSocketName(cable, getpid(), socketCounter++);
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
    return std::unique_ptr<CableReceiver>(new CableReceiver(
        fd, stopFd, path, std::move(onMessage), std::move(onError), std::move(windowBehind)));
}

CableReceiver::CableReceiver(int fd, int stopFd, std::string path, MessageFn onMessage,
                             ErrorFn onError, BehindFn windowBehind)
    : fd_(fd), stopFd_(stopFd), path_(std::move(path)), onMessage_(std::move(onMessage)),
      onError_(std::move(onError)), windowBehind_(std::move(windowBehind)) {
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

// Standing by, the thread leaves the socket to the window thread and only looks every kWatchMs.
// A message found waiting means the window thread is busy: the thread then reads each message as
// it arrives, until one arrives while no event waits for the window thread any more, which is
// then the window thread's to read.
void CableReceiver::run() {
    bool reading = false;
    for (;;) {
        pollfd fds[2] = {{stopFd_, POLLIN, 0}, {fd_, POLLIN, 0}};
        const int ready = reading ? poll(fds, 2, -1) : poll(fds, 1, kWatchMs);
        if (ready < 0) {
            if (errno == EINTR) continue;
            onError_(std::string("Waiting for MIDI cable input failed: ") + std::strerror(errno));
            return;
        }
        if (fds[0].revents) return;
        if (reading) {
            if (!fds[1].revents) continue;
            if (!windowBehind_()) {
                reading = false;
                continue;
            }
        } else {
            if (poll(&fds[1], 1, 0) <= 0) continue;
            reading = true;
        }
        if (!readWaiting()) return;
    }
}

bool CableReceiver::readWaiting() {
    std::lock_guard lock(readMutex_);
    while (!failed_) {
        std::uint8_t buffer[4];
        // MSG_TRUNC reports a datagram's whole length, so a long one is seen and dropped.
        const ssize_t n = recv(fd_, buffer, sizeof buffer, MSG_TRUNC);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
            failed_ = true;
            onError_(std::string("Reading a MIDI cable failed: ") + std::strerror(errno));
            break;
        }
        if (static_cast<std::size_t>(n) > sizeof buffer) continue;
        if (auto message = parseShortMessage(buffer, static_cast<std::size_t>(n)))
            onMessage_(*message);
    }
    return false;
}

} // namespace zen::midi
