#include "console/DetachedDeck.h"

#include <QFileInfo>
#include <QProcess>
#include <csignal>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Through the system calls: the C library's wrappers lack C linkage in some releases.
int pidfdOpen(qint64 pid) {
    return static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
}

void pidfdSignal(int pidfd, int number) {
    ::syscall(SYS_pidfd_send_signal, pidfd, number, nullptr, 0);
}

} // namespace

std::unique_ptr<DetachedDeck> DetachedDeck::start(const QString& program, const QString& folder,
                                                  const QString& deckNumber, QString& error) {
    const QFileInfo info(program);
    if (!info.isFile() || !info.isExecutable()) {
        error = info.exists() ? QStringLiteral("it is not an executable file")
                              : QStringLiteral("the file does not exist");
        return nullptr;
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments({deckNumber});
    process.setWorkingDirectory(folder);
    qint64 pid = 0;
    if (!process.startDetached(&pid)) {
        error = process.errorString();
        return nullptr;
    }
    // The deck takes far longer to start than this call, and until it ends and is reaped its
    // number cannot be given to another process.
    const int pidfd = pidfdOpen(pid);
    return std::unique_ptr<DetachedDeck>(new DetachedDeck(pidfd));
}

DetachedDeck::DetachedDeck(int pidfd) : pidfd_(pidfd) {
    if (pidfd_ < 0) {
        // Gone before it could be watched.
        ended_ = true;
        return;
    }
    watch_ = std::make_unique<QSocketNotifier>(pidfd_, QSocketNotifier::Read);
    connect(watch_.get(), &QSocketNotifier::activated, this, [this] {
        watch_->setEnabled(false);
        ended_ = true;
        emit ended();
    });
}

DetachedDeck::~DetachedDeck() {
    watch_.reset();
    if (pidfd_ >= 0) ::close(pidfd_);
}

bool DetachedDeck::hasEnded() const {
    if (ended_) return true;
    pollfd fd{pidfd_, POLLIN, 0};
    return ::poll(&fd, 1, 0) > 0;
}

void DetachedDeck::terminate() {
    signal(SIGTERM);
}

void DetachedDeck::kill() {
    signal(SIGKILL);
}

void DetachedDeck::signal(int number) {
    if (!hasEnded()) pidfdSignal(pidfd_, number);
}
