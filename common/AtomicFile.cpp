#include "common/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zen::config {

namespace {

QString systemError(int number) {
    return QString::fromLocal8Bit(std::strerror(number));
}

// Makes a rename inside the folder durable; a settings change must survive a power cut.
void syncFolder(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

bool writeAll(int fd, QByteArrayView bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.data() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        done += n;
    }
    return true;
}

} // namespace

bool replaceFile(const QString& path, QByteArrayView bytes, QString& error) {
    const QByteArray target = QFile::encodeName(path);
    QByteArray temporary;
    int fd = -1;
    // A fresh name beside the file, created by this call alone; the umask applies to it as to any
    // new file.
    for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
        temporary = target + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                    0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        error = systemError(errno);
        return false;
    }
    struct stat existing {};
    if (::lstat(target.constData(), &existing) == 0 && S_ISREG(existing.st_mode))
        ::fchmod(fd, existing.st_mode & 07777);
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const int writeError = errno;
    const bool closed = ::close(fd) == 0;
    // rename() replaces a link standing at the target itself, not the file it points to.
    if (!written || !closed || ::rename(temporary.constData(), target.constData()) != 0) {
        error = systemError(!written ? writeError : errno);
        ::unlink(temporary.constData());
        return false;
    }
    syncFolder(QFileInfo(path).absolutePath());
    return true;
}

QString linkTarget(const QString& path) {
    QFileInfo file(path);
    // Bounded, as the system bounds a chain of links: a loop ends here and fails on writing.
    for (int depth = 0; depth < 40 && file.isSymLink(); ++depth)
        file.setFile(file.symLinkTarget());
    return file.filePath();
}

} // namespace zen::config
