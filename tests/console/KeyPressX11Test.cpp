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

// xdotool's `commands` as one client, which holds its keys down until it ends.
void startXdotool(QProcess& xdotool, const QStringList& commands, const QString& display = {}) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!display.isEmpty()) environment.insert("DISPLAY", display);
    xdotool.setProcessEnvironment(environment);
    xdotool.start("xdotool", commands);
}

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

// An X server on `display`, or on a display no server uses when that is empty.
bool startServer(QProcess& server, QString& display) {
    for (int number = 150; display.isEmpty(); ++number)
        if (!QFile::exists(QString("/tmp/.X11-unix/X%1").arg(number)) &&
            !QFile::exists(QString("/tmp/.X%1-lock").arg(number)))
            display = QString(":%1").arg(number);
    server.start("Xvfb", {display, "-nolisten", "tcp"});
    const QString socket = "/tmp/.X11-unix/X" + display.mid(1);
    for (int i = 0; i < 100 && !QFile::exists(socket); ++i)
        QThread::msleep(50);
    return QFile::exists(socket);
}

} // namespace

class X11KeyPressTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) GTEST_SKIP() << "no X server";
    }

    QWidget window;
};

TEST_F(X11KeyPressTest, ReadsTheWholeKeyboardWhileAnotherWindowHasTheFocus) {
    QProcess other, focus, xdotool;
    other.start("xlogo", {});
    startXdotool(focus, {"search", "--sync", "--class", "xlogo", "windowfocus", "--sync"});
    ASSERT_TRUE(focus.waitForFinished(10000) && focus.exitCode() == 0);

    X11KeyPress keys;
    keys.start(window);
    // Right arrow, an extended key, then A of the main block while Right stays down.
    startXdotool(xdotool, {"keydown", "Right", "sleep", "0.3", "keydown", "a", "sleep", "0.3",
                           "keyup", "a", "sleep", "10"});
    EXPECT_EQ(pollUntil(keys, 0), (std::vector<int>{77, 30, 0}))
        << "the newest key counts, and Right does not come back when A is released";
    xdotool.kill();
    xdotool.waitForFinished();
    other.kill();
    other.waitForFinished();
}

TEST_F(X11KeyPressTest, ALostServerReadsAsNoKeyAndIsConnectedAgain) {
    // A server of the test's own, which it can take away.
    QString display;
    QProcess server, holder, again;
    ASSERT_TRUE(startServer(server, display));
    X11KeyPress keys(display.toStdString());
    keys.start(window);
    startXdotool(holder, {"keydown", "Right", "sleep", "30"}, display);
    ASSERT_EQ(pollUntil(keys, 77), std::vector<int>{77});

    server.terminate();
    server.waitForFinished();
    EXPECT_EQ(pollUntil(keys, 0), (std::vector<int>{0})) << "a nudge held at the time ends";

    ASSERT_TRUE(startServer(server, display));
    startXdotool(again, {"keydown", "a", "sleep", "30"}, display);
    EXPECT_EQ(pollUntil(keys, 30), (std::vector<int>{30}));
    again.kill();
    again.waitForFinished();
    server.terminate();
    server.waitForFinished();
}
