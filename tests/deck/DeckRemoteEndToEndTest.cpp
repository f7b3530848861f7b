#include "EndToEndSupport.h"
#include "audio/EngineTestSupport.h"

#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

// The real ZentariDeck steered as the console steers it: its configuration names "MIDI Yoke 1",
// the commands come through that cable from the command-line sender, and what the deck plays is
// recorded from the sound server.

namespace test = zen::audio::test;
using namespace zen::e2e;

namespace {

// Window places (pixels) of the first file of the browser; deck 1 opens at the screen's corner.
constexpr int kFirstFileX = 280, kFirstFileY = 366;
constexpr int kPlayPause = 16, kQuit = 40;

QSet<QString> jackPorts() {
    QProcess lsp;
    lsp.start("jack_lsp", {});
    if (!lsp.waitForFinished(5000)) return {};
    QSet<QString> ports;
    for (const QString& line : QString::fromLocal8Bit(lsp.readAllStandardOutput()).split('\n'))
        if (!line.trimmed().isEmpty()) ports.insert(line.trimmed());
    return ports;
}

class DeckRemoteEndToEndTest : public EndToEndTest {
protected:
    void SetUp() override {
        EndToEndTest::SetUp();
        if (IsSkipped()) return;
        ASSERT_TRUE(programDir.isValid() && musicDir.isValid() && runtime.isValid());
        // Cables of this test's own; the suite runs widget tests offscreen, this one on the
        // display.
        environment.insert("XDG_RUNTIME_DIR", runtime.path());
        environment.remove("QT_QPA_PLATFORM");
    }

    bool sendCommand(int controller) {
        return run(QStringLiteral(ZENTARI_PROGRAM_DIR) + "/zentari-midi-send",
                   {"MIDI Yoke 1", QString::number(controller)}, environment);
    }

    QTemporaryDir programDir, musicDir, runtime;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

TEST_F(DeckRemoteEndToEndTest, PlaysAndPausesOnCommandAndQuitsCleanly) {
    const QString program = installDeck(programDir.path());
    ASSERT_FALSE(program.isEmpty());
    test::writeWav(musicDir.filePath("sine.wav").toStdString(),
                   test::makeSine(1000, 0.5, 44100, 30));

    zen::config::ConfigRecord record = deckRecord(jackOutputDevice(), musicDir.path());
    record.midiPort1 = "MIDI Yoke 1";
    record.midiPort2 = "MIDI Yoke 2";
    ASSERT_TRUE(record.save(programDir.filePath("deck1.ini")));

    const QSet<QString> portsBefore = jackPorts();
    deck.setProcessEnvironment(environment);
    deck.setProcessChannelMode(QProcess::ForwardedChannels);
    deck.start(program, {"1"});
    ASSERT_TRUE(deck.waitForStarted(5000));
    ASSERT_TRUE(waitForDeckWindow()) << "the deck window did not appear";
    QThread::msleep(300);

    // The load goes through the browser; play/pause comes from the cable.
    ASSERT_TRUE(xdotool({"mousemove", QString::number(kFirstFileX), QString::number(kFirstFileY),
                         "click", "--repeat", "2", "--delay", "80", "1"}));
    QThread::msleep(2000);
    ASSERT_TRUE(sendCommand(kPlayPause));
    QThread::msleep(500);
    const std::vector<float> playing = recordOutput(programDir.filePath("playing.wav"), 2);
    EXPECT_GT(loudFrames(playing), 44100u) << "the play command was not heard";
    ASSERT_TRUE(sendCommand(kPlayPause));
    QThread::msleep(300);
    const std::vector<float> paused = recordOutput(programDir.filePath("paused.wav"), 1);
    ASSERT_GT(paused.size(), 0u);
    EXPECT_EQ(loudFrames(paused), 0u) << "the pause command was not heard";

    const QSet<QString> deckPorts = jackPorts() - portsBefore;
    EXPECT_FALSE(deckPorts.isEmpty()) << "the deck's audio output is not on the sound server";
    ASSERT_TRUE(sendCommand(kQuit));
    ASSERT_TRUE(deck.waitForFinished(5000)) << "the quit command did not end the deck";
    EXPECT_EQ(deck.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(deck.exitCode(), 0);
    EXPECT_TRUE((jackPorts() & deckPorts).isEmpty()) << "the deck left its audio output open";
}

} // namespace
