#include "Desktop.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zen::desktop {

namespace {

QString xdotoolOutput(const QStringList& args, bool* ok = nullptr) {
    QProcess process;
    process.start("xdotool", args);
    const bool finished = process.waitForFinished(5000);
    if (ok)
        *ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

} // namespace

bool xdotool(const QStringList& args) {
    bool ok = false;
    xdotoolOutput(args, &ok);
    return ok;
}

QStringList visibleWindows(const QString& namePattern) {
    return xdotoolOutput({"search", "--onlyvisible", "--name", namePattern})
        .split('\n', Qt::SkipEmptyParts);
}

QStringList waitForWindows(const QString& namePattern, int count,
                           std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    QStringList windows = visibleWindows(namePattern);
    while (windows.size() < count && std::chrono::steady_clock::now() < deadline) {
        QThread::msleep(100);
        windows = visibleWindows(namePattern);
    }
    return windows;
}

QPoint windowPlace(const QString& windowId) {
    QPoint place(-1, -1);
    for (const QString& line :
         xdotoolOutput({"getwindowgeometry", "--shell", windowId}).split('\n')) {
        if (line.startsWith("X=")) place.setX(line.mid(2).toInt());
        if (line.startsWith("Y=")) place.setY(line.mid(2).toInt());
    }
    return place;
}

bool moveWindow(const QString& windowId, QPoint place) {
    return xdotool(
        {"windowmove", windowId, QString::number(place.x()), QString::number(place.y())});
}

namespace {

bool clicksIn(const QString& windowId, QPoint point, int clicks) {
    const QPoint corner = windowPlace(windowId);
    const bool raised = xdotool({"windowraise", windowId});
    return xdotool({"mousemove", QString::number(corner.x() + point.x()),
                    QString::number(corner.y() + point.y()), "click", "--repeat",
                    QString::number(clicks), "--delay", "80", "1"}) &&
           raised;
}

} // namespace

bool clickIn(const QString& windowId, QPoint point) {
    return clicksIn(windowId, point, 1);
}

bool doubleClickIn(const QString& windowId, QPoint point) {
    return clicksIn(windowId, point, 2);
}

bool dragIn(const QString& windowId, QPoint from, QPoint to) {
    const QPoint corner = windowPlace(windowId);
    const bool raised = xdotool({"windowraise", windowId});
    return xdotool({"mousemove", QString::number(corner.x() + from.x()),
                    QString::number(corner.y() + from.y()), "mousedown", "1", "mousemove",
                    QString::number(corner.x() + to.x()), QString::number(corner.y() + to.y()),
                    "mouseup", "1"}) &&
           raised;
}

QString selectedText() {
    QProcess xclip;
    xclip.start("xclip", {"-out", "-selection", "primary"});
    xclip.waitForFinished(5000);
    return QString::fromUtf8(xclip.readAllStandardOutput());
}

QString focusedWindow() {
    return xdotoolOutput({"getwindowfocus"});
}

QString windowOf(pid_t pid) {
    QString window;
    for (int i = 0; i < 100 && (window.isEmpty() || window.contains('\n')); ++i) {
        QThread::msleep(100);
        window = xdotoolOutput({"search", "--onlyvisible", "--pid", QString::number(pid)});
    }
    return window.contains('\n') ? QString() : window;
}

bool mapAgain(const QString& windowId) {
    return xdotool({"windowunmap", "--sync", windowId}) &&
           xdotool({"windowmap", "--sync", windowId});
}

QString deckOneWindow() {
    for (int i = 0; i < 100; ++i) {
        const QStringList decks = visibleWindows("Zentari DJ System");
        if (decks.size() == 2)
            for (const QString& deck : decks)
                if (windowPlace(deck) == QPoint(0, 0)) return deck;
        QThread::msleep(100);
    }
    return {};
}

bool deckShowsStatus(const QString& deckWindow) {
    // The line's place in the deck window and its colours: yellow on a dark panel.
    constexpr int kLeft = 72, kTop = 530, kWidth = 426, kHeight = 22;
    QProcess import;
    import.start("import", {"-window", deckWindow, "-crop",
                            QString("%1x%2+%3+%4").arg(kWidth).arg(kHeight).arg(kLeft).arg(kTop),
                            "+repage", "-depth", "8", "rgb:-"});
    if (!import.waitForFinished(5000)) return false;
    const QByteArray rgb = import.readAllStandardOutput();
    for (qsizetype i = 0; i + 2 < rgb.size(); i += 3) {
        const auto r = quint8(rgb[i]), g = quint8(rgb[i + 1]), b = quint8(rgb[i + 2]);
        if (r > 200 && g > 200 && b < 100) return true;
    }
    return false;
}

qint64 displayServerPid() {
    const QByteArray display = qgetenv("DISPLAY");
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        QFile file("/proc/" + entry + "/cmdline");
        if (!file.open(QIODevice::ReadOnly)) continue;
        const QList<QByteArray> args = file.readAll().split('\0');
        if (args.size() > 1 && args[0].endsWith("Xvfb") && args[1] == display)
            return entry.toLongLong();
    }
    return -1;
}

bool becomeSubreaper() {
    return prctl(PR_SET_CHILD_SUBREAPER, 1) == 0;
}

std::vector<pid_t> deckChildren() {
    std::vector<pid_t> decks;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        QFile file("/proc/" + entry + "/stat");
        if (!file.open(QIODevice::ReadOnly)) continue;
        const QByteArray stat = file.readAll();
        // The name is in parentheses and may hold blanks; the parent follows the state.
        const qsizetype open = stat.indexOf('('), close = stat.lastIndexOf(')');
        if (open < 0 || close < 0 || stat.mid(open + 1, close - open - 1) != "ZentariDeck")
            continue;
        if (stat.mid(close + 2).split(' ').value(1).toInt() == getpid())
            decks.push_back(entry.toInt());
    }
    return decks;
}

pid_t deckChild(int deck) {
    for (pid_t pid : deckChildren()) {
        QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (file.open(QIODevice::ReadOnly) &&
            file.readAll().split('\0').value(1) == QByteArray::number(deck))
            return pid;
    }
    return -1;
}

int runningDecks() {
    int running = 0;
    for (pid_t pid : deckChildren())
        running += waitpid(pid, nullptr, WNOHANG) == 0 ? 1 : 0;
    return running;
}

int waitForEnd(pid_t pid, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) return -1;
        QThread::msleep(5);
    }
    return status;
}

} // namespace zen::desktop
