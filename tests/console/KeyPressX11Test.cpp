#include "console/KeyPressX11.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

using zen::console::X11KeyPress;

namespace {

// A program that is asked to end, and waited for, when it goes: an X server so removes its lock.
struct Ending {
    void operator()(QProcess* process) const {
        process->terminate();
        process->waitForFinished();
        delete process;
    }
};
using Process = std::unique_ptr<QProcess, Ending>;

// Polls every 5 ms until the key code turns to `code` (10 s at most); each change, once.
std::vector<int> pollUntil(X11KeyPress& keys, int code) {
    std::vector<int> codes;
    QElapsedTimer clock;
    clock.start();
    while ((codes.empty() || codes.back() != code) && clock.elapsed() < 10000) {
        QThread::msleep(5);
        const int last = keys.keyCode();
        keys.poll();
        if (keys.keyCode() != last) codes.push_back(keys.keyCode());
    }
    return codes;
}

} // namespace

// The whole keyboard is read while another window has the focus; a lost server reads as no key
// and is connected again once it is back. The test runs an X server of its own, on a display no
// server uses, so that it can take it away.
TEST(X11KeyPressTest, ReadsTheWholeKeyboardAndSurvivesALostServer) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) GTEST_SKIP() << "no X server";
    int number = 150;
    while (QFile::exists(QString("/tmp/.X11-unix/X%1").arg(number)) ||
           QFile::exists(QString("/tmp/.X%1-lock").arg(number)))
        ++number;
    const QString display = QString(":%1").arg(number);
    Process server;
    const auto startServer = [&] {
        server.reset(new QProcess);
        server->start("Xvfb", {display, "-nolisten", "tcp"});
        const QString socket = QString("/tmp/.X11-unix/X%1").arg(number);
        for (int i = 0; i < 100 && !QFile::exists(socket); ++i)
            QThread::msleep(50);
        return QFile::exists(socket);
    };
    // Clients of the server; xdotool holds its keys down until it ends.
    std::vector<Process> clients;
    const auto run = [&](const QString& program, const QStringList& arguments) -> QProcess& {
        auto& client = clients.emplace_back(new QProcess);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", display);
        client->setProcessEnvironment(environment);
        client->start(program, arguments);
        return *client;
    };

    ASSERT_TRUE(startServer());
    run("xlogo", {});
    QProcess& focus =
        run("xdotool", {"search", "--sync", "--class", "xlogo", "windowfocus", "--sync"});
    ASSERT_TRUE(focus.waitForFinished(10000) && focus.exitCode() == 0);
    QWidget window;
    X11KeyPress keys(display.toStdString());
    keys.start(window);
    // Right arrow, an extended key, then A of the main block while Right stays down.
    run("xdotool", {"keydown", "Right", "sleep", "0.3", "keydown", "a", "sleep", "0.3", "keyup",
                    "a", "sleep", "0.3", "keydown", "s", "sleep", "30"});
    EXPECT_EQ(pollUntil(keys, 31), (std::vector<int>{77, 30, 0, 31}))
        << "the newest key counts, and Right does not come back when A is released";

    server.reset();
    clients.clear();
    EXPECT_EQ(pollUntil(keys, 0), (std::vector<int>{0})) << "a key held at the time ends";
    ASSERT_TRUE(startServer());
    run("xdotool", {"keydown", "a", "sleep", "30"});
    EXPECT_EQ(pollUntil(keys, 30), (std::vector<int>{30}));
}
