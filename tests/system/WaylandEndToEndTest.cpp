#include "SystemTestSupport.h"

#include "ControllerStream.h"
#include "Desktop.h"
#include "common/DeckCommands.h"
#include "common/midi/MIDIInput.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

// The DJ's Wayland desktop: a nested compositor (weston with XWayland) inside the test's X
// server. Started with nothing chosen, the programs run on XWayland by themselves, and keys that
// the compositor gives a deck window reach the console all the same.

using namespace zen::system;
using namespace zen::desktop;
using zen::bench::runEventsFor;

namespace {

// Deck 2's play key.
constexpr int kDeck2PlayCode = 65; // F7

class WaylandEndToEndTest : public SystemTest {
protected:
    void SetUp() override {
        SystemTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        outerDisplay_ = qgetenv("DISPLAY");
        ASSERT_TRUE(QFile::setPermissions(runtime_.path(),
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QFile config(runtime_.filePath("weston.ini"));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write("[core]\nidle-time=0\n[shell]\npanel-position=none\nlocking=false\n");
        config.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", runtime_.path());
        weston_.setProcessEnvironment(environment);
        weston_.setProcessChannelMode(QProcess::MergedChannels);
        weston_.start("weston", {"--backend=x11-backend.so", "--xwayland", "--socket=zentari",
                                 "--width=1200", "--height=900", "--config=" + config.fileName()});
        ASSERT_TRUE(weston_.waitForStarted()) << "weston is not installed (scripts/setup)";
        // Its own X server for X11 programs, XWayland, on the first free display.
        const QRegularExpression listening("xserver listening on display (:\\d+)");
        QString log;
        QElapsedTimer clock;
        clock.start();
        while (xwayland_.isEmpty() && weston_.state() == QProcess::Running &&
               clock.elapsed() < 10000) {
            weston_.waitForReadyRead(100);
            log += QString::fromLocal8Bit(weston_.readAll());
            xwayland_ = listening.match(log).captured(1);
        }
        ASSERT_FALSE(xwayland_.isEmpty())
            << "weston started no XWayland (exit code " << weston_.exitCode() << "):\n"
            << log.toStdString();

        // From here on the test, and the programs it starts, are clients of the Wayland session;
        // the keys still go in through the outer X server, into the compositor.
        qputenv("DISPLAY", xwayland_.toLocal8Bit());
        qputenv("WAYLAND_DISPLAY", runtime_.filePath("zentari").toLocal8Bit());
        // A session bus that is not there: no desktop portal answers in this session.
        qputenv("DBUS_SESSION_BUS_ADDRESS",
                "unix:path=" + runtime_.filePath("no-bus").toLocal8Bit());
        zen::config::ConfigRecord settings = console.settings();
        settings.mapping[21] = QString::number(kDeck2PlayCode);
        QString error;
        ASSERT_TRUE(console.start(settings, error)) << error.toStdString();
    }

    void TearDown() override {
        if (!outerDisplay_.isEmpty()) qputenv("DISPLAY", outerDisplay_);
        qunsetenv("WAYLAND_DISPLAY");
        weston_.terminate();
        weston_.waitForFinished();
    }

    // xdotool on the outer X server.
    bool outerXdotool(const QStringList& args) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", QString::fromLocal8Bit(outerDisplay_));
        return zen::e2e::run("xdotool", args, environment);
    }

    // The shown window of a deck process, once it shows (10 s at most).
    static QString deckWindow(int deck) {
        for (int i = 0; i < 100; ++i) {
            if (const pid_t pid = deckChild(deck); pid > 0) {
                QProcess search;
                search.start("xdotool", {"search", "--onlyvisible", "--pid", QString::number(pid)});
                search.waitForFinished(5000);
                const QString window = QString::fromLocal8Bit(search.readAll()).trimmed();
                if (!window.isEmpty() && !window.contains('\n')) return window;
            }
            QThread::msleep(100);
        }
        return {};
    }

    // Mapped anew, a window comes to the top and takes the keyboard: the compositor neither
    // takes X11's requests to raise or activate a window nor places it where X11 says.
    static bool bringForward(const QString& window) {
        return xdotool({"windowunmap", "--sync", window}) &&
               xdotool({"windowmap", "--sync", window});
    }

    // The click goes to the console window's own corner, wherever the compositor put it.
    bool pressEngine() {
        const QPoint button = zen::bench::ConsoleRun::kEngineButton;
        return xdotool({"mousemove", "--window", console.window(), QString::number(button.x()),
                        QString::number(button.y()), "click", "1"});
    }

    static QString focusedWindow() {
        QProcess focus;
        focus.start("xdotool", {"getwindowfocus"});
        focus.waitForFinished(5000);
        return QString::fromLocal8Bit(focus.readAll()).trimmed();
    }

    QTemporaryDir runtime_;
    QProcess weston_;
    QByteArray outerDisplay_;
    QString xwayland_;
};

TEST_F(WaylandEndToEndTest, AMappedKeyReachesDeck2WhileDeck1HasTheFocus) {
    ASSERT_TRUE(pressEngine());
    const QString deck1 = deckWindow(1);
    ASSERT_FALSE(deck1.isEmpty()) << "deck 1 did not show on XWayland";
    ASSERT_FALSE(deckWindow(2).isEmpty()) << "deck 2 did not show on XWayland";
    // Deck 2's cable as deck 2 hears it.
    qputenv("XDG_RUNTIME_DIR", console.runtimeFolder().toLocal8Bit());
    std::vector<int> heard;
    zen::MIDIInput probe;
    QObject::connect(&probe, &zen::MIDIInput::messageReceived,
                     [&] { heard.push_back(probe.data1()); });
    probe.action(1, zen::MidiAction::Open);
    probe.action(1, zen::MidiAction::Start);

    // The compositor settles its keyboard focus a moment after new windows map, whatever X11
    // says meanwhile; a key it handed to no window then is pressed again.
    for (int attempt = 0; attempt < 10 && heard.empty(); ++attempt) {
        ASSERT_TRUE(bringForward(deck1));
        for (int i = 0; i < 50 && focusedWindow() != deck1; ++i)
            QThread::msleep(100);
        ASSERT_EQ(focusedWindow(), deck1) << "the compositor did not focus deck 1";
        // The compositor's own window takes the outer server's keys and hands them to deck 1.
        ASSERT_TRUE(outerXdotool({"search", "--class", "weston", "windowfocus"}));
        tap(zen::bench::kKeysymF7);
        for (int i = 0; i < 10 && heard.size() < 2; ++i)
            runEventsFor(100);
    }
    EXPECT_EQ(heard, (std::vector<int>{zen::cmd::kPlayPause, zen::cmd::kTouchRelease}))
        << "deck 2's play key did not reach deck 2's cable through the compositor";
    EXPECT_EQ(focusedWindow(), deck1);

    const std::vector<pid_t> decks = deckChildren();
    ASSERT_TRUE(bringForward(console.window()) && pressEngine());
    for (pid_t pid : decks)
        EXPECT_NE(waitForEnd(pid, std::chrono::seconds(5)), -1) << "a deck went on after STOP";
}

} // namespace
