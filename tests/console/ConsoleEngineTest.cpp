#include "ConsoleTestSupport.h"

#include "common/DeckCommands.h"
#include "common/ZenButton.h"
#include "console/DeckLauncher.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>

namespace {

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing");
}

} // namespace

// START lights the button, gives each deck a fresh copy of the settings and launches both; the
// ports come from the copies the decks read, not from the file as it was at start-up. STOP
// tells both decks to quit; a deck that hangs on its way out is ended, and a START meanwhile
// starts the old deck's successor only once it has gone.
TEST_F(ConsoleTest, StartLaunchesBothDecksWithFreshSettingsAndStopEndsThem) {
    zen::config::ConfigRecord record = sampleRecord();
    writeConfig(record);
    ASSERT_TRUE(startConsole());
    std::swap(record.midiPort1, record.midiPort2);
    writeConfig(record);
    QFile stale(programDir.filePath("deck1.ini"));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("an older, longer copy that must be replaced whole");
    stale.close();

    pressEngine();
    const ZenButton* button = window->ui().fltButton[0];
    EXPECT_EQ(button->Caption(), "STOP");
    EXPECT_EQ(button->DotColor(), zen::kLightOnDot);
    for (const char* copy : {"deck1.ini", "deck2.ini"})
        EXPECT_EQ(fileBytes(programDir.filePath(copy)), configBytes()) << copy;
    EXPECT_EQ(host.startedPrograms, QStringList({programDir.path() + "/ZentariDeck 1",
                                                 programDir.path() + "/ZentariDeck 2"}));
    EXPECT_EQ(window->ports().MIDIOutput(1).openDevice(), 1);
    EXPECT_EQ(window->ports().MIDIOutput(2).openDevice(), 0);
    EXPECT_EQ(window->ports().MIDIInput1().openDevice(), -1) << "\"<none>\" opens no input";
    EXPECT_TRUE(host.messages.empty());

    FakeDeck* old1 = host.decks[0];
    FakeDeck* old2 = host.decks[1];
    old1->quits = false;
    old1->endsOnTerm = false;
    host.decks.clear();
    pressEngine();
    EXPECT_EQ(host.sleeps.back(), 1000);
    EXPECT_FALSE(portsOpen());
    EXPECT_EQ(button->Caption(), "START");
    EXPECT_EQ(button->DotColor(), zen::kLightOffDot);
    EXPECT_EQ(old1->commands, std::vector<int>{zen::cmd::kQuit});
    EXPECT_EQ(old2->commands, std::vector<int>{zen::cmd::kQuit});
    EXPECT_TRUE(old2->hasEnded());

    pressEngine();
    ASSERT_EQ(host.decks.size(), 1u);
    EXPECT_EQ(host.decks[0]->argument, "2");
    pump(DeckLauncher::kQuitGraceMs + 300); // timers may fire a little late
    EXPECT_EQ(old1->terms, 1);
    EXPECT_EQ(host.decks.size(), 1u);
    pump(DeckLauncher::kTermGraceMs + 300);
    EXPECT_EQ(old1->kills, 1);
    ASSERT_EQ(host.decks.size(), 2u);
    EXPECT_EQ(host.decks[1]->argument, "1");
    EXPECT_EQ(window->launcher().running(), 2);
}

TEST_F(ConsoleTest, CaptureOpensThePortsAndTheyCloseOnlyWithTheEngineStoppedAndCaptureOff) {
    writeConfig(sampleRecord());
    ASSERT_TRUE(startConsole());
    QCheckBox* capture = options().chkMapping;
    options().cmbExternal->setCurrentIndex(3); // "2:MIDI Yoke 3"
    capture->click();
    EXPECT_TRUE(portsOpen());
    EXPECT_EQ(window->ports().MIDIInput1().openDevice(), 2);
    capture->click();
    EXPECT_FALSE(portsOpen() || window->ports().MIDIInput1().isOpen());

    pressEngine();
    capture->click();
    capture->click();
    EXPECT_TRUE(portsOpen()) << "unticked while running: the decks still need their ports";
    capture->click();
    pressEngine();
    EXPECT_TRUE(portsOpen()) << "stopped while capturing: capture still needs them";
    capture->click();
    EXPECT_FALSE(portsOpen());
}
