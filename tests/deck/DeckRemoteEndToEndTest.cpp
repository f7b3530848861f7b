#include "audio/EngineTestSupport.h"
#include "common/ConfigRecord.h"
#include "deck/audio/AudioEngine.h"

#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>
#include <gtest/gtest.h>
#include <sndfile.h>

// The real ZentariDeck steered as the console steers it: its configuration names "MIDI Yoke 1",
// the commands come through that cable from the command-line sender, and what the deck plays is
// recorded from the sound server.

namespace test = zen::audio::test;

namespace {

// Window places (pixels) of the first file of the browser; deck 1 opens at the screen's corner.
constexpr int kFirstFileX = 280, kFirstFileY = 366;
constexpr int kPlayPause = 16, kQuit = 40;

bool run(const QString& program, const QStringList& args,
         const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
         int timeoutMs = 10000) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, args);
    return process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

QSet<QString> jackPorts() {
    QProcess lsp;
    lsp.start("jack_lsp", {});
    if (!lsp.waitForFinished(5000)) return {};
    QSet<QString> ports;
    for (const QString& line : QString::fromLocal8Bit(lsp.readAllStandardOutput()).split('\n'))
        if (!line.trimmed().isEmpty()) ports.insert(line.trimmed());
    return ports;
}

// Records `seconds` of what the sound server plays; returns the left channel.
std::vector<float> recordOutput(const QString& file, int seconds) {
    if (!run("jack_capture", {"--daemon", "-d", QString::number(seconds), "-f", "wav", "-fn", file},
             QProcessEnvironment::systemEnvironment(), (seconds + 10) * 1000))
        return {};
    SF_INFO info{};
    SNDFILE* sf = sf_open(file.toLocal8Bit().constData(), SFM_READ, &info);
    if (!sf) return {};
    std::vector<float> frames(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(sf, frames.data(), info.frames);
    sf_close(sf);
    std::vector<float> left;
    for (std::size_t i = 0; i < frames.size(); i += static_cast<std::size_t>(info.channels))
        left.push_back(frames[i]);
    return left;
}

// Frames of the recording that carry the tone: at the deck's start volume most of a sine's
// samples lie well above this, silence and dither far below.
std::size_t loudFrames(const std::vector<float>& mono) {
    std::size_t loud = 0;
    for (float v : mono)
        if (std::abs(v) > 0.02f) ++loud;
    return loud;
}

class DeckRemoteEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "no DISPLAY: start the services (scripts/services start)";
        if (!run("jack_lsp", {}))
            GTEST_SKIP() << "no JACK server: start the services (scripts/services start)";
        ASSERT_TRUE(programDir.isValid() && musicDir.isValid() && runtime.isValid());
        // Cables of this test's own; the suite runs widget tests offscreen, this one on the
        // display.
        environment.insert("XDG_RUNTIME_DIR", runtime.path());
        environment.remove("QT_QPA_PLATFORM");
    }

    void TearDown() override {
        if (deck.state() != QProcess::NotRunning) {
            deck.kill();
            deck.waitForFinished(5000);
        }
    }

    bool sendCommand(int controller) {
        return run(QStringLiteral(ZENTARI_PROGRAM_DIR) + "/zentari-midi-send",
                   {"MIDI Yoke 1", QString::number(controller)}, environment);
    }

    QTemporaryDir programDir, musicDir, runtime;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QProcess deck;
};

TEST_F(DeckRemoteEndToEndTest, PlaysAndPausesOnCommandAndQuitsCleanly) {
    // The JACK device "system" when the sound library lists it, else the default output.
    const std::vector<std::string> devices = zen::audio::listOutputDevices();
    int device = 0;
    for (std::size_t i = 0; i < devices.size(); ++i)
        if (devices[i].rfind("system", 0) == 0) device = static_cast<int>(i);

    const QString source = QStringLiteral(ZENTARI_PROGRAM_DIR);
    const QString program = programDir.filePath("ZentariDeck");
    ASSERT_TRUE(QFile::copy(source + "/ZentariDeck", program));
    QFile::copy(source + "/styles.ini", programDir.filePath("styles.ini"));
    test::writeWav(musicDir.filePath("sine.wav").toStdString(),
                   test::makeSine(1000, 0.5, 44100, 30));

    zen::config::ConfigRecord record;
    record.bpmDetection = "ON";
    record.soundDevice1 = QString::number(device);
    record.soundDevice2 = "0";
    record.midiPort1 = "MIDI Yoke 1";
    record.midiPort2 = "MIDI Yoke 2";
    record.mapping.fill("none");
    record.musicFolder = musicDir.path();
    ASSERT_TRUE(record.save(programDir.filePath("deck1.ini")));

    const QSet<QString> portsBefore = jackPorts();
    deck.setProcessEnvironment(environment);
    deck.setProcessChannelMode(QProcess::ForwardedChannels);
    deck.start(program, {"1"});
    ASSERT_TRUE(deck.waitForStarted(5000));
    bool shown = false;
    for (int i = 0; i < 100 && !shown; ++i) {
        shown = run("xdotool", {"search", "--name", "Zentari DJ System"});
        if (!shown) QThread::msleep(100);
    }
    ASSERT_TRUE(shown) << "the deck window did not appear";
    QThread::msleep(300);

    // The load goes through the browser; play/pause comes from the cable.
    ASSERT_TRUE(
        run("xdotool", {"mousemove", QString::number(kFirstFileX), QString::number(kFirstFileY),
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
