#include "ConsoleTestSupport.h"

#include "common/DeckCommands.h"
#include "common/FolderBrowser.h"
#include "common/ZenButton.h"
#include "console/MappingBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

TEST_F(ConsoleTest, StartUpListsTheDevicesAndLoadsTheSettings) {
    host.screen = {1280, 600}; // one dimension is enough
    writeConfig(sampleRecord());
    ASSERT_TRUE(startConsole());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.sleeps, std::vector<int>{4000}); // the splash
    EXPECT_FALSE(window->frmSplash().isVisible());
    EXPECT_EQ(inputs.meterStarts, 1);
    EXPECT_EQ(inputs.keyStarts, 1);
    EXPECT_EQ(window->y(), 0);
    EXPECT_EQ(window->ui().fltButton[0]->Caption(), "START");

    const OptionsUi& o = options();
    EXPECT_EQ(o.cmbDevices2->itemText(1), "1 - system (JACK Audio Connection Kit)");
    EXPECT_EQ(o.cmbDevices1->currentIndex(), 1);
    ASSERT_EQ(o.cmbExternal->count(), 11);
    EXPECT_EQ(o.cmbExternal->itemText(0), "<none>");
    EXPECT_EQ(o.cmbExternal->itemText(9), "8:Pad Controller");
    EXPECT_EQ(o.cmbExternal->currentText(), "<none>");
    // After "<none>", only the names that begin with "MIDI Yoke": "Synth Out" is left out.
    ASSERT_EQ(o.cmbInternal1->count(), 10);
    EXPECT_EQ(o.cmbInternal1->itemText(9), "MIDI Yokel");
    EXPECT_EQ(o.cmbInternal2->itemText(8), "MIDI Yoke 8");
    EXPECT_EQ(o.cmbInternal2->currentText(), "MIDI Yoke 2");
    EXPECT_TRUE(o.chkBPM->isChecked());
    EXPECT_FALSE(o.chkScroll->isChecked());
    EXPECT_EQ(o.txtMapping[16]->text(), "57");
    EXPECT_EQ(o.dirFile->path(), QDir(programDir.path()).canonicalPath());
    EXPECT_EQ(window->ports().deckDevice(1), 0);
    EXPECT_EQ(window->ports().deckDevice(2), 1);
    EXPECT_FALSE(panel().isVisible());
}

TEST_F(ConsoleTest, SmallScreenAndUnreadableFileAreReportedAndStartUpGoesOn) {
    host.screen = {800, 600};
    // There, but not a file that can be read: the user's, so it is reported and not replaced.
    ASSERT_TRUE(QDir(programDir.path()).mkdir("ZentariDJ.ini"));
    ASSERT_TRUE(startConsole());
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0].text, "You need at least 1024x768 to run this software.");
    EXPECT_EQ(host.messages[1].text, "ERROR opening ZentariDJ.ini");
    EXPECT_EQ(host.ended, 0);
    // Every field read as empty text; an empty external input opens nothing.
    const OptionsUi& o = options();
    EXPECT_EQ(o.cmbExternal->currentText(), "<none>");
    EXPECT_EQ(o.cmbDevices1->currentIndex(), 0);
    EXPECT_EQ(o.cmbInternal1->currentIndex(), -1);
    EXPECT_EQ(o.txtMapping[3]->text(), "");
    EXPECT_EQ(o.txtJoyID1->text(), "");
    EXPECT_EQ(window->ports().deckDevice(1), -1);
}

TEST_F(ConsoleTest, FewerThanTwoCablesOrNoSoundDeviceEndTheProgram) {
    host.outputs = QStringList{"MIDI Yoke 1", "Synth Out"};
    EXPECT_FALSE(startConsole());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "You must install Midi Yoke Junction to run ZentariMix. Info "
                                     "at docs/user-guide.md#midi-cables");
    EXPECT_EQ(host.ended, 1);
    EXPECT_EQ(inputs.keyStarts, 0);

    host.messages.clear();
    host.sound.clear();
    EXPECT_FALSE(startConsole());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "No sound devices. Check your sound configuration.");
    EXPECT_EQ(host.ended, 2);
}

TEST_F(ConsoleTest, CloseBoxAsksAndOnlyARunningEngineTellsTheDecksToQuit) {
    writeConfig(sampleRecord());
    ASSERT_TRUE(startConsole());
    host.answers = {false};
    window->salir();
    EXPECT_EQ(host.questions, std::vector<QString>{"Are you sure to exit?"});
    EXPECT_EQ(host.ended, 0);

    window->salir(); // Yes, stopped: no command, no wait
    EXPECT_EQ(host.ended, 1);
    EXPECT_EQ(inputs.keyStops, 1);
    EXPECT_EQ(host.sleeps.size(), 1u);

    pressEngine();
    window->salir();
    EXPECT_EQ(host.sleeps.back(), 2000);
    for (const FakeDeck* deck : host.decks) {
        EXPECT_EQ(deck->commands, std::vector<int>{zen::cmd::kQuit});
        EXPECT_EQ(deck->terms, 0);
    }
    EXPECT_FALSE(portsOpen());
    EXPECT_EQ(host.ended, 2);
}

TEST_F(ConsoleTest, CloseBoxTerminatesADeckThatDidNotQuitInTime) {
    writeConfig(sampleRecord());
    ASSERT_TRUE(startConsole());
    pressEngine();
    for (FakeDeck* deck : host.decks)
        deck->quits = false;
    window->salir();
    EXPECT_EQ(host.decks[0]->terms, 1);
    EXPECT_EQ(host.decks[1]->terms, 1);
    EXPECT_EQ(window->launcher().running(), 0);
}

TEST_F(ConsoleTest, WindowCloseRequestAsksAndLeavesRunningDecksAlone) {
    writeConfig(sampleRecord());
    ASSERT_TRUE(startConsole());
    window->show();
    pressEngine();
    host.answers = {false, true};
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(running());
    EXPECT_TRUE(portsOpen());
    EXPECT_EQ(host.ended, 0);

    EXPECT_TRUE(window->close());
    pump();
    EXPECT_EQ(host.ended, 1);
    EXPECT_EQ(inputs.keyStops, 1);
    EXPECT_FALSE(portsOpen());
    for (const FakeDeck* deck : host.decks) {
        EXPECT_TRUE(deck->commands.empty());
        EXPECT_EQ(deck->terms, 0);
        EXPECT_FALSE(deck->hasEnded());
    }
}
