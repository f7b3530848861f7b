#include "NestedWayland.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

namespace zen::desktop {

NestedWayland::~NestedWayland() {
    weston_.terminate();
    weston_.waitForFinished();
}

bool NestedWayland::start(QString& log) {
    QFile config(runtime_.filePath("weston.ini"));
    if (!QFile::setPermissions(runtime_.path(),
                               QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) ||
        !config.open(QIODevice::WriteOnly) ||
        config.write("[core]\nidle-time=0\n[shell]\npanel-position=none\n") <= 0)
        return false;
    config.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", runtime_.path());
    weston_.setProcessEnvironment(environment);
    weston_.setProcessChannelMode(QProcess::MergedChannels);
    weston_.start("weston", {"--backend=x11-backend.so", "--xwayland", "--socket=zentari",
                             "--width=1200", "--height=900", "--config=" + config.fileName()});
    // XWayland takes the first free display, and says which.
    const QRegularExpression listening("xserver listening on display (:\\d+)");
    QElapsedTimer clock;
    clock.start();
    while (xwayland_.isEmpty() && weston_.waitForStarted() && clock.elapsed() < 10000) {
        weston_.waitForReadyRead(100);
        log += QString::fromLocal8Bit(weston_.readAll());
        xwayland_ = listening.match(log).captured(1);
    }
    return !xwayland_.isEmpty();
}

} // namespace zen::desktop
