#include "SystemTestSupport.h"

#include "ControllerStream.h"
#include "Desktop.h"
#include "NestedWayland.h"
#include "common/DeckCommands.h"
#include "common/midi/MIDIInput.h"

#include <QThread>

// The DJ's Wayland desktop: a nested compositor (weston with XWayland) inside the test's X
// server. Started with nothing chosen, the programs run on XWayland by themselves, and keys that
// the compositor gives a deck window reach the console all the same.

using namespace zen::desktop;

namespace {

class WaylandEndToEndTest : public zen::system::SystemTest {
protected:
    void SetUp() override {
        SystemTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        outer_ = QProcessEnvironment::systemEnvironment();
        QString log;
        ASSERT_TRUE(session_.start(log)) << "weston (scripts/setup) gave no XWayland:\n"
                                         << log.toStdString();
        // From here on the test, and the programs it starts, are clients of the Wayland session
        // (where no desktop portal answers); the keys still go in through the outer X server,
        // into the compositor.
        qputenv("DISPLAY", session_.xwaylandDisplay().toLocal8Bit());
        qputenv("WAYLAND_DISPLAY", session_.waylandDisplay().toLocal8Bit());
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
        zen::config::ConfigRecord settings = console.settings();
        settings.mapping[21] = "65"; // F7 plays deck 2
        QString error;
        ASSERT_TRUE(console.start(settings, error)) << error.toStdString();
    }
    void TearDown() override { qputenv("DISPLAY", outer_.value("DISPLAY").toLocal8Bit()); }

    // The compositor places the windows, not X11: the click goes to the console's own corner.
    bool pressEngine() {
        const QPoint button = zen::bench::ConsoleRun::kEngineButton;
        return xdotool({"mousemove", "--window", console.window(), QString::number(button.x()),
                        QString::number(button.y()), "click", "1"});
    }

    NestedWayland session_;
    QProcessEnvironment outer_;
};

TEST_F(WaylandEndToEndTest, AMappedKeyReachesDeck2WhileDeck1HasTheFocus) {
    ASSERT_TRUE(pressEngine());
    const QString deck1 = windowOf(deckChild(1));
    ASSERT_FALSE(deck1.isEmpty() || windowOf(deckChild(2)).isEmpty()) << "no deck windows";
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
        ASSERT_TRUE(mapAgain(deck1));
        for (int i = 0; i < 50 && focusedWindow() != deck1; ++i)
            QThread::msleep(100);
        ASSERT_EQ(focusedWindow(), deck1) << "the compositor did not focus deck 1";
        // The compositor's own window takes the outer server's keys and hands them to deck 1.
        ASSERT_TRUE(
            zen::e2e::run("xdotool", {"search", "--class", "weston", "windowfocus"}, outer_));
        tap(zen::bench::kKeysymF7);
        for (int i = 0; i < 10 && heard.size() < 2; ++i)
            zen::bench::runEventsFor(100);
    }
    EXPECT_EQ(heard, (std::vector<int>{zen::cmd::kPlayPause, zen::cmd::kTouchRelease}))
        << "deck 2's play key did not reach deck 2's cable through the compositor";
    EXPECT_EQ(focusedWindow(), deck1);

    const std::vector<pid_t> decks = deckChildren();
    ASSERT_TRUE(mapAgain(console.window()) && pressEngine());
    for (pid_t pid : decks)
        EXPECT_NE(waitForEnd(pid, std::chrono::seconds(5)), -1) << "a deck went on after STOP";
}

} // namespace
