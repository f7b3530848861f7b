#include "DeckTestSupport.h"

#include "deck/Browser.h"
#include "deck/DeckLifecycle.h"

#include <QComboBox>
#include <QLabel>

// What each argument starts: the copy of the settings it reads, where the window opens, what the
// deck says and whether it ends. Deck 2 and any other argument read the deck-2 fields.
TEST_F(DeckTest, EachArgumentStartsItsDeckOrSaysWhyNot) {
    struct Case {
        QString argument, device1, device2, bpm; // no device: no copy written
        bool starts;
        QString device, port;
        int left;
        bool bpmShown;
        QString folder, message = {}, caption = {};
        DeckHost::Icon icon = DeckHost::Icon::None;
        int ended = 0;
    };
    const QString music = QDir(musicDir.path()).canonicalPath();
    const QString home = QDir(QDir::homePath()).canonicalPath();
    using enum DeckHost::Icon;
    const Case cases[] = {
        {"1", "0", "12", "ON", true, "0 - Default output", "MIDI Yoke 1", 0, true, music},
        {"2", "12", "1", "OFF", true, "1 - system (JACK Audio Connection Kit)", "MIDI Yoke 2",
         DeckLifecycle::kDeck2Left, false, music},
        {"3", "0", "12", "ON", false, "0 - Default output", "MIDI Yoke 2",
         DeckLifecycle::kDesignLeft, true, music, "Error: Couldn't Initialize Digital Output",
         "Digital output", Critical, 1},
        {"x", "", "", "", true, "0 - Default output", "", DeckLifecycle::kDesignLeft, false, home,
         "ERROR opening deckx.ini", "", None, 0},
        {"", "", "", "", false, "", "", DeckLifecycle::kDesignLeft, true, "",
         "You must run ZentariDJ.exe.", "", None, 1},
    };
    const QString tone = makeSine("tone.wav", 440, 0.5);
    for (const Case& c : cases) {
        SCOPED_TRACE("argument \"" + c.argument.toStdString() + "\"");
        if (!c.device1.isEmpty()) writeDeckIni(c.argument, c.device1, c.device2, c.bpm);
        RecordingHost deckHost;
        deckHost.folder = programDir.path();
        const auto deckEngine = zen::audio::createTestClockEngine();
        DeckWindow deck(*deckEngine, deckHost);
        EXPECT_EQ(deck.startUp(c.argument), c.starts);
        EXPECT_EQ(deck.ui().lblWindowTitle->text(), "DECK " + c.argument);
        EXPECT_EQ(deck.pos(), QPoint(c.left, 0));
        EXPECT_EQ(deck.ui().cmbDevices->currentText(), c.device);
        EXPECT_EQ(deck.lifecycle().config().midiPortName, c.port);
        EXPECT_EQ(deck.ui().lblBPMs->isHidden(), !c.bpmShown);
        EXPECT_EQ(deck.ui().filFile->path(), c.folder);
        EXPECT_EQ(deck.ui().dirFile->path(), c.folder);
        const std::vector<RecordingHost::Message> said = {{c.message, c.caption, c.icon}};
        EXPECT_EQ(deckHost.messages, c.message.isEmpty() ? decltype(said)() : said);
        EXPECT_EQ(deckHost.ended, c.ended);
        if (!c.starts) continue;
        EXPECT_EQ(deck.remote().MIDIInput().isOpen(), !c.port.isEmpty())
            << "a port that is not there leaves the deck running without remote control";
        // The device list shows the device the deck plays on and puts back any other choice.
        deck.ui().cmbDevices->setCurrentIndex(deck.ui().cmbDevices->count() - 1);
        EXPECT_EQ(deck.ui().cmbDevices->currentText(), c.device);
        // The loop watch runs once a track is in.
        deck.loader().load(musicDir.path(), tone);
        EXPECT_TRUE(deck.transport().FXTimer2().isActive());
        deck.close();
        EXPECT_EQ(deckHost.ended, 1) << "closing the window ends the deck";
    }
}
