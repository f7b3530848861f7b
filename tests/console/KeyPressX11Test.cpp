#include "console/KeyPressX11.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QWidget>
#include <gtest/gtest.h>

#include <vector>

using zen::console::X11KeyPress;

namespace {

// An X server on a display no server uses, of the test's own, which it can take away.
class X11Server {
public:
    X11Server() {
        for (int number = 150; display.isEmpty(); ++number)
            if (!QFile::exists(QString("/tmp/.X11-unix/X%1").arg(number)) &&
                !QFile::exists(QString("/tmp/.X%1-lock").arg(number)))
                display = QString(":%1").arg(number);
    }
    ~X11Server() { stop(); }
    bool start() {
        server_.start("Xvfb", {display, "-nolisten", "tcp"});
        const QString socket = "/tmp/.X11-unix/X" + display.mid(1);
        for (int i = 0; i < 100 && !QFile::exists(socket); ++i)
            QThread::msleep(50);
        return QFile::exists(socket);
    }
    void stop() {
        server_.terminate();
        server_.waitForFinished();
        for (QProcess* client : clients_) {
            client->kill();
            client->waitForFinished();
            delete client;
        }
        clients_.clear();
    }
    // A client of this server running `program`; xdotool holds its keys down until it ends.
    QProcess& run(const QString& program, const QStringList& arguments) {
        auto* client = clients_.emplace_back(new QProcess);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", display);
        client->setProcessEnvironment(environment);
        client->start(program, arguments);
        return *client;
    }

    QString display;

private:
    QProcess server_;
    std::vector<QProcess*> clients_;
};

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
// and is connected again once it is back.
TEST(X11KeyPressTest, ReadsTheWholeKeyboardAndSurvivesALostServer) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) GTEST_SKIP() << "no X server";
    X11Server server;
    ASSERT_TRUE(server.start());
    server.run("xlogo", {});
    QProcess& focus =
        server.run("xdotool", {"search", "--sync", "--class", "xlogo", "windowfocus", "--sync"});
    ASSERT_TRUE(focus.waitForFinished(10000) && focus.exitCode() == 0);
    QWidget window;
    X11KeyPress keys(server.display.toStdString());
    keys.start(window);
    // Right arrow, an extended key, then A of the main block while Right stays down.
    server.run("xdotool", {"keydown", "Right", "sleep", "0.3", "keydown", "a", "sleep", "0.3",
                           "keyup", "a", "sleep", "0.3", "keydown", "s", "sleep", "30"});
    EXPECT_EQ(pollUntil(keys, 31), (std::vector<int>{77, 30, 0, 31}))
        << "the newest key counts, and Right does not come back when A is released";

    server.stop();
    EXPECT_EQ(pollUntil(keys, 0), (std::vector<int>{0})) << "a key held at the time ends";
    ASSERT_TRUE(server.start());
    server.run("xdotool", {"keydown", "a", "sleep", "30"});
    EXPECT_EQ(pollUntil(keys, 30), (std::vector<int>{30}));
}
