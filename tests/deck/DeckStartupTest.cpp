#include "DeckTestSupport.h"

#include "common/ConfigRecord.h"

#include "deck/Browser.h"
#include "deck/DeckLifecycle.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>

TEST_F(DeckTest, Deck1StartsOnItsDeviceFieldAndMusicFolder) {
    writeDeckIni("1", "0", "12");
    ASSERT_TRUE(window->startUp("1"));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.ended, 0);
    EXPECT_TRUE(transport().Timer1().isActive());
    // The loop watch waits for a track; a load that opens nothing leaves it off.
    EXPECT_FALSE(transport().FXTimer2().isActive());
    load(makeSine("tone.wav", 440, 0.5));
    EXPECT_TRUE(transport().FXTimer2().isActive());
    QFile junk(musicDir.filePath("junk.wav"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not audio");
    junk.close();
    load("junk.wav");
    EXPECT_FALSE(transport().FXTimer2().isActive());
    EXPECT_EQ(ui().lblWindowTitle->text(), "DECK 1");
    EXPECT_EQ(window->windowTitle(), " Zentari DJ System");
    EXPECT_EQ(window->pos(), QPoint(0, 0));
    EXPECT_EQ(ui().filFile->path(), QDir(musicDir.path()).canonicalPath());
    EXPECT_EQ(ui().dirFile->path(), ui().filFile->path());
    EXPECT_FALSE(ui().lblBPMs->isHidden());
    EXPECT_EQ(window->equalizer().volume(), 50);
    EXPECT_EQ(window->equalizer().touchAmount(), 2500);
    EXPECT_EQ(window->lifecycle().config().midiPortName, "MIDI Yoke 1");
    EXPECT_EQ(window->lifecycle().config().joystick, "4");
    EXPECT_TRUE(window->touch().trackingOn());
    EXPECT_EQ(window->lifecycle().config().genres.size(), 256);
}

TEST_F(DeckTest, Deck2OpensRightOfDeck1WithTheDeck2Fields) {
    writeDeckIni("2", "12", "1", "OFF");
    ASSERT_TRUE(window->startUp("2"));
    EXPECT_TRUE(host.messages.empty());
    // The device list shows the device the deck plays on and puts back any other choice.
    ASSERT_EQ(ui().cmbDevices->count(), 2);
    EXPECT_EQ(ui().cmbDevices->currentText(), "1 - system (JACK Audio Connection Kit)");
    ui().cmbDevices->setCurrentIndex(0);
    EXPECT_EQ(ui().cmbDevices->currentIndex(), 1);
    EXPECT_EQ(window->pos(), QPoint(DeckLifecycle::kDeck2Left, 0));
    EXPECT_EQ(ui().lblWindowTitle->text(), "DECK 2");
    EXPECT_EQ(window->lifecycle().config().midiPortName, "MIDI Yoke 2");
    EXPECT_EQ(window->lifecycle().config().joystick, "3");
    // BPM read-outs hidden when the option is off.
    EXPECT_TRUE(ui().lblBPMs->isHidden());
    EXPECT_TRUE(ui().Label9->isHidden());
}

TEST_F(DeckTest, AnyOtherArgumentReadsItsOwnCopyWithTheDeck2Fields) {
    // Field 7 names a device the engine lacks: only the deck-2 field can make the open fail.
    writeDeckIni("3", "0", "12");
    EXPECT_FALSE(window->startUp("3"));
    EXPECT_EQ(ui().lblWindowTitle->text(), "DECK 3");
    EXPECT_EQ(window->pos(), QPoint(DeckLifecycle::kDesignLeft, 0));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Error: Couldn't Initialize Digital Output");
    EXPECT_EQ(host.messages[0].title, "Digital output");
    EXPECT_EQ(host.messages[0].icon, DeckHost::Icon::Critical);
    EXPECT_EQ(host.ended, 1);
}

TEST_F(DeckTest, MissingCopyIsReportedAndStartUpGoesOnWithDevice0) {
    ASSERT_TRUE(window->startUp("x"));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "ERROR opening deckx.ini");
    EXPECT_EQ(host.ended, 0);
    EXPECT_EQ(window->lifecycle().config().soundDevice, 0);
    EXPECT_TRUE(ui().lblBPMs->isHidden());
    // The browser opens the home folder rather than nothing.
    EXPECT_EQ(ui().filFile->path(), QDir(QDir::homePath()).canonicalPath());
}

TEST_F(DeckTest, NoArgumentOnlySaysSoAndEnds) {
    EXPECT_FALSE(window->startUp(QString()));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "You must run ZentariDJ.exe.");
    EXPECT_EQ(host.messages[0].icon, DeckHost::Icon::None);
    EXPECT_EQ(host.ended, 1);
    EXPECT_EQ(ui().cmbDevices->count(), 0);
}

TEST_F(DeckTest, ClosingWhilePlayingReleasesTheTrackAndEnds) {
    startDeck();
    load(makeSine("tone.wav", 440, 2));
    const zen::audio::Handle played = channel();
    ASSERT_NE(played, 0u);
    window->Zen_Pause();
    engine->render(4410);
    ASSERT_GT(engine->channelGetPosition(played), 0);
    window->close();
    EXPECT_EQ(host.ended, 1);
    EXPECT_EQ(engine->channelGetPosition(played), -1);
    EXPECT_FALSE(transport().FXTimer2().isActive());
}
