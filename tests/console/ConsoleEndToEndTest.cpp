#include "Desktop.h"
#include "Tracks.h"
#include "tests/deck/EndToEndSupport.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <sys/wait.h>

// The real ZentariMix on the display and the sound server, starting and stopping real decks. The
// decks run detached; this test is their subreaper, so it reads their exit status.

using namespace zen::e2e;
using namespace zen::desktop;

namespace {

// The engine button's middle, from the console window's corner.
constexpr int kEngineX = 78, kEngineY = 50;
// Deck 1's play and stop keys: F5 and F6, which a deck window does nothing with.
constexpr int kPlayKey = 63, kStopKey = 64;

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing");
}

class ConsoleEndToEndTest : public EndToEndTest {
protected:
    void SetUp() override {
        EndToEndTest::SetUp();
        if (IsSkipped()) return;
        ASSERT_TRUE(becomeSubreaper());
        ASSERT_TRUE(programDir.isValid() && runtime.isValid() && musicDir.isValid());
        ASSERT_FALSE(installDeck(programDir.path()).isEmpty());
        ASSERT_TRUE(QFile::copy(QStringLiteral(ZENTARI_PROGRAM_DIR) + "/ZentariMix",
                                programDir.filePath("ZentariMix")));
        ASSERT_TRUE(
            zen::bench::writeSineWav(musicDir.filePath("sine.wav").toStdString(), 1000, 30));
        zen::config::ConfigRecord record = deckRecord(jackOutputDevice(), musicDir.path());
        record.soundDevice2 = record.soundDevice1;
        record.mapping[16] = QString::number(kPlayKey);
        record.mapping[17] = QString::number(kStopKey);
        record.externalMidi = "<";
        record.midiPort1 = "MIDI Yoke 1";
        record.midiPort2 = "MIDI Yoke 2";
        ASSERT_TRUE(record.save(programDir.filePath("ZentariDJ.ini")));

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", runtime.path());
        environment.remove("QT_QPA_PLATFORM");
        console.setProcessEnvironment(environment);
        console.setProcessChannelMode(QProcess::ForwardedChannels);
        console.start(programDir.filePath("ZentariMix"), {});
        ASSERT_TRUE(console.waitForStarted(5000));
        for (int i = 0; i < 100 && consoleWindow.isEmpty(); ++i) {
            consoleWindow = visibleWindows("^ZentariMix$").value(0);
            QThread::msleep(100);
        }
        ASSERT_FALSE(consoleWindow.isEmpty()) << "the console window did not appear";
        // Below the decks, so that a deck window mapping at that moment never takes a click.
        ASSERT_TRUE(moveWindow(consoleWindow, {900, 590}));
    }

    void TearDown() override {
        if (console.state() != QProcess::NotRunning) {
            console.kill();
            console.waitForFinished(5000);
        }
        for (pid_t deck : deckChildren()) {
            ::kill(deck, SIGKILL);
            waitpid(deck, nullptr, 0);
        }
        EndToEndTest::TearDown();
    }

    void pressEngine() { ASSERT_TRUE(clickIn(consoleWindow, {kEngineX, kEngineY})); }

    QTemporaryDir programDir, runtime, musicDir;
    QProcess console;
    QString consoleWindow;
};

TEST_F(ConsoleEndToEndTest, StartShowsBothDecksAndStopEndsThemCleanly) {
    pressEngine();
    QStringList decks;
    for (int i = 0; i < 100 && decks.size() < 2; ++i) {
        QThread::msleep(100);
        decks = visibleWindows("Zentari DJ System");
    }
    ASSERT_EQ(decks.size(), 2) << "the deck windows did not appear";
    QList<QPoint> places{windowPlace(decks[0]), windowPlace(decks[1])};
    std::sort(places.begin(), places.end(), [](QPoint a, QPoint b) { return a.x() < b.x(); });
    EXPECT_EQ(places, (QList<QPoint>{{0, 0}, {579, 0}}));
    const QByteArray settings = fileBytes(programDir.filePath("ZentariDJ.ini"));
    EXPECT_EQ(fileBytes(programDir.filePath("deck1.ini")), settings);
    EXPECT_EQ(fileBytes(programDir.filePath("deck2.ini")), settings);

    const std::vector<pid_t> pids = deckChildren();
    ASSERT_EQ(pids.size(), 2u);
    QThread::msleep(500); // both decks listening
    pressEngine();
    for (pid_t pid : pids) {
        const int status = waitForEnd(pid, std::chrono::seconds(5));
        ASSERT_NE(status, -1) << "a deck did not end on STOP";
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }
}

TEST_F(ConsoleEndToEndTest, StopRightAfterStartLeavesNoDeckBehind) {
    pressEngine();
    QThread::msleep(200);
    pressEngine();
    // Quits sent before a deck listens are lost; the console ends such decks itself.
    QThread::msleep(500);
    const std::vector<pid_t> pids = deckChildren();
    EXPECT_EQ(pids.size(), 2u);
    for (pid_t pid : pids)
        EXPECT_NE(waitForEnd(pid, std::chrono::seconds(8)), -1) << "a deck was left running";
    EXPECT_TRUE(deckChildren().empty());
}

TEST_F(ConsoleEndToEndTest, MappedKeysPlayAndStopADeckWhileTheDeckHasTheFocus) {
    pressEngine();
    const QString deck1 = deckOneWindow();
    ASSERT_FALSE(deck1.isEmpty()) << "the deck windows did not appear";
    QThread::msleep(500);
    // The load takes the focus to deck 1 with the click; the keys go to its window.
    ASSERT_TRUE(doubleClickIn(deck1, kDeckFirstFile));
    QThread::msleep(2000);
    ASSERT_EQ(focusedWindow(), deck1);

    // One client presses and releases each key, holding it well past a 5 ms poll.
    ASSERT_TRUE(xdotool({"keydown", "F5", "sleep", "0.1", "keyup", "F5"}));
    QThread::msleep(500);
    const std::vector<float> playing = recordOutput(programDir.filePath("playing.wav"), 2);
    EXPECT_GT(loudFrames(playing), 44100u) << "the play key was not heard";
    ASSERT_TRUE(xdotool({"keydown", "F6", "sleep", "0.1", "keyup", "F6"}));
    QThread::msleep(300);
    const std::vector<float> stopped = recordOutput(programDir.filePath("stopped.wav"), 1);
    ASSERT_GT(stopped.size(), 0u);
    EXPECT_EQ(loudFrames(stopped), 0u) << "the stop key was not heard";
}

} // namespace
