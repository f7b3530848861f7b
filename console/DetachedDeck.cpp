#include "console/DetachedDeck.h"

#include "common/midi/CableFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <csignal>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace runtime = zen::runtime;

namespace {

// Through the system calls: the C library's wrappers lack C linkage in some releases.
int pidfdOpen(qint64 pid) {
    return static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
}

void pidfdSignal(int pidfd, int number) {
    ::syscall(SYS_pidfd_send_signal, pidfd, number, nullptr, 0);
}

QString recordOf(const QString& deckNumber) {
    const QString folder = runtime::runtimeFolder();
    return folder.isEmpty() ? QString() : runtime::deckRecordPath(folder, deckNumber);
}

} // namespace

std::unique_ptr<DetachedDeck> DetachedDeck::start(const QString& program, const QString& folder,
                                                  const QString& deckNumber, qint64 resumeFrom,
                                                  QString& error) {
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
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QLatin1String(runtime::kResumeVariable));
    if (resumeFrom > 0)
        environment.insert(QLatin1String(runtime::kResumeVariable), QString::number(resumeFrom));
    process.setProcessEnvironment(environment);
    qint64 pid = 0;
    if (!process.startDetached(&pid)) {
        error = process.errorString();
        return nullptr;
    }
    // The deck takes far longer to start than this call, and until it ends and is reaped its
    // number cannot be given to another process.
    const int pidfd = pidfdOpen(pid);
    return std::unique_ptr<DetachedDeck>(
        new DetachedDeck(pidfd, runtime::processOf(pid), recordOf(deckNumber)));
}

std::unique_ptr<DetachedDeck> DetachedDeck::find(const QString& deckNumber, qint16 device) {
    const QString record = recordOf(deckNumber);
    if (record.isEmpty()) return nullptr;
    runtime::DeckRecord written;
    if (runtime::readDeckRecord(record, written))
        if (auto deck = hold(written.process, record)) return deck;
    if (device < 0 || device >= zen::midi::kCableCount) return nullptr;
    // Each input of a cable is a socket named after the cable and the process that opened it.
    const QString prefix = QString::fromStdString(zen::midi::cableSocketPrefix(device + 1));
    const QStringList sockets = QFileInfo(record).dir().entryList(
        {prefix + QStringLiteral("*.sock")}, QDir::System | QDir::Files);
    for (const QString& socket : sockets) {
        const long pid = zen::midi::cableSocketOwner(socket.toStdString(), device + 1);
        if (auto deck = hold(runtime::processOf(pid), record)) return deck;
    }
    return nullptr;
}

std::unique_ptr<DetachedDeck> DetachedDeck::hold(const runtime::ProcessIdentity& process,
                                                 const QString& record) {
    if (!runtime::isRunningDeck(process)) return nullptr;
    const int pidfd = pidfdOpen(process.pid);
    // Checked again once held: the process might have ended and its number been given anew.
    if (pidfd < 0 || !runtime::isRunningDeck(process)) {
        if (pidfd >= 0) ::close(pidfd);
        return nullptr;
    }
    return std::unique_ptr<DetachedDeck>(new DetachedDeck(pidfd, process, record));
}

DetachedDeck::DetachedDeck(int pidfd, const runtime::ProcessIdentity& process, QString record)
    : pidfd_(pidfd), process_(process), record_(std::move(record)) {
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

bool DetachedDeck::diedUntold() const {
    runtime::DeckRecord record;
    return hasEnded() && process_.pid > 0 && runtime::readDeckRecord(record_, record) &&
           record.process == process_;
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
