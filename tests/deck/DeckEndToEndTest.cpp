#include "EndToEndSupport.h"
#include "audio/EngineTestSupport.h"

#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

// The real ZentariDeck on a display and a sound server: load a sine through the browser, play
// it, record what the sound server plays and measure its frequency before and after the user
// pulls the pitch fader to its top.

namespace test = zen::audio::test;
using namespace zen::e2e;

namespace {

// Window places (pixels) of the deck's controls; deck 1 opens at the screen's top-left corner.
constexpr int kFirstFileX = 280, kFirstFileY = 366;
constexpr int kPlayX = 324, kPlayY = 281;
constexpr int kPitchX = 557, kPitchMiddleY = 403, kPitchTopY = 270;

using DeckEndToEndTest = EndToEndTest;

TEST_F(DeckEndToEndTest, PlaysALoadedSineAndFollowsThePitchFader) {
    const int device = jackOutputDevice();

    QTemporaryDir programDir, musicDir;
    ASSERT_TRUE(programDir.isValid() && musicDir.isValid());
    const QString program = installDeck(programDir.path());
    ASSERT_FALSE(program.isEmpty());
    test::writeWav(musicDir.filePath("sine.wav").toStdString(),
                   test::makeSine(1000, 0.5, 44100, 30));
    ASSERT_TRUE(deckRecord(device, musicDir.path()).save(programDir.filePath("deck1.ini")));

    // The suite runs widget tests offscreen; this one shows the real window on the display.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("QT_QPA_PLATFORM");
    deck.setProcessEnvironment(environment);
    deck.setProcessChannelMode(QProcess::ForwardedChannels);
    deck.start(program, {"1"});
    ASSERT_TRUE(deck.waitForStarted(5000));
    ASSERT_TRUE(waitForDeckWindow()) << "the deck window did not appear";
    QThread::msleep(300);

    // Double-click the file in the browser, wait for the load and its detection, then play.
    ASSERT_TRUE(xdotool({"mousemove", QString::number(kFirstFileX), QString::number(kFirstFileY),
                         "click", "--repeat", "2", "--delay", "80", "1"}));
    QThread::msleep(2000);
    ASSERT_TRUE(
        xdotool({"mousemove", QString::number(kPlayX), QString::number(kPlayY), "click", "1"}));
    QThread::msleep(500);

    const std::vector<float> atZero = sounding(recordOutput(programDir.filePath("zero.wav"), 2));
    ASSERT_GT(atZero.size(), 22050u) << "nothing was heard";
    EXPECT_NEAR(steadyHz(atZero), 1000.0, 2.0);

    // Drag the pitch fader's knob from the middle to the top: +16 %.
    ASSERT_TRUE(xdotool({"mousemove", QString::number(kPitchX), QString::number(kPitchMiddleY),
                         "mousedown", "1", "mousemove", QString::number(kPitchX),
                         QString::number(kPitchMiddleY - 60), "mousemove", QString::number(kPitchX),
                         QString::number(kPitchTopY), "mouseup", "1"}));
    QThread::msleep(300);

    const std::vector<float> atTop = sounding(recordOutput(programDir.filePath("top.wav"), 2));
    ASSERT_GT(atTop.size(), 22050u) << "nothing was heard after the pitch move";
    EXPECT_NEAR(steadyHz(atTop), 1160.0, 2.0);
    EXPECT_EQ(deck.state(), QProcess::Running);
}

} // namespace
