#include "console/KeyPressX11.h"
#include "KeyChanges.h"

#include <QFile>
#include <QProcess>
#include <QThread>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

using zen::console::KeyReading;
using zen::console::X11KeySource;

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

} // namespace

// The whole keyboard is read as it changes while another window has the focus, a tap shorter than
// any poll included; a lost server reads as no key and is connected again once it is back. The
// test runs an X server of its own, on a display no server uses, so that it can take it away.
TEST(X11KeySourceTest, ReadsTheWholeKeyboardAsItChangesAndSurvivesALostServer) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) GTEST_SKIP() << "no X server";
    int number = 150;
    while (QFile::exists(QString("/tmp/.X11-unix/X%1").arg(number)) ||
           QFile::exists(QString("/tmp/.X%1-lock").arg(number)))
        ++number;
    const QString display = QString(":%1").arg(number);
    Process server;
    const auto startServer = [&] {
        server.reset(new QProcess);
        server->start("Xvfb", {display, "-nolisten", "tcp", "-noreset"});
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
    QProcess& focus = run("xdotool", {"search", "--sync", "--onlyvisible", "--class", "xlogo",
                                      "windowfocus", "--sync"});
    ASSERT_TRUE(focus.waitForFinished(10000) && focus.exitCode() == 0);
    std::vector<std::unique_ptr<zen::console::KeySource>> sources;
    sources.push_back(std::make_unique<X11KeySource>(display.toStdString()));
    KeyReading keys(std::move(sources));
    zen::test::KeyChanges changes(keys);
    EXPECT_EQ(keys.reading(), "Keys: any X11 window");
    // A tap of D, down and up at once; Right arrow, an extended key, then A of the main block
    // while Right stays down; then S held long enough to repeat.
    run("xdotool", {"keydown", "d",   "keyup",   "d", "sleep", "0.3", "keydown", "Right",
                    "sleep",   "0.3", "keydown", "a", "sleep", "0.3", "keyup",   "a",
                    "sleep",   "0.3", "keydown", "s", "sleep", "30"});
    EXPECT_EQ(changes.after(6, 10000), (std::vector<int>{32, 0, 77, 30, 0, 31}))
        << "the tap counts, the newest key counts, and Right does not come back when A is "
           "released";
    QThread::msleep(1000);
    EXPECT_EQ(changes.after(7, 0).size(), 6u) << "a repeat of the held key counted as a press";

    server.reset();
    clients.clear();
    EXPECT_EQ(changes.after(7, 10000).back(), 0) << "a key held at the time ends";
    ASSERT_TRUE(startServer());
    run("xdotool", {"keydown", "a", "sleep", "30"});
    EXPECT_EQ(changes.after(8, 10000).back(), 30);
}
