#include "ConsoleTestSupport.h"

#include "common/DeckCommands.h"
#include "common/ZenButton.h"
#include "console/DeckLauncher.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing");
}

} // namespace

TEST_F(ConsoleTest, StartCopiesTheFileForBothDecksAndLaunchesThem) {
    zen::config::ConfigRecord record = sampleRecord();
    writeConfig(record);
    ASSERT_TRUE(startConsole());
    // The ports come from the copies the decks read, not from the file as it was at start-up.
    record.midiPort1 = "MIDI Yoke 3";
    record.midiPort2 = "MIDI Yoke 4";
    writeConfig(record);
    QFile stale(programDir.filePath("deck1.ini"));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("an older, longer copy that must be replaced whole");
    stale.close();

    pressEngine();
    ZenButton* button = window->ui().fltButton[0];
    EXPECT_EQ(button->Caption(), "STOP");
    EXPECT_EQ(button->DotColor(), zen::kLightOnDot);
    EXPECT_EQ(button->OverColor(), zen::kLightOnOver);
    EXPECT_EQ(fileBytes(programDir.filePath("deck1.ini")), configBytes());
    EXPECT_EQ(fileBytes(programDir.filePath("deck2.ini")), configBytes());
    EXPECT_EQ(host.startedPrograms, QStringList({programDir.path() + "/ZentariDeck 1",
                                                 programDir.path() + "/ZentariDeck 2"}));
    EXPECT_EQ(window->ports().MIDIOutput(1).openDevice(), 2);
    EXPECT_EQ(window->ports().MIDIOutput(2).openDevice(), 3);
    // "<none>" as external input opens nothing.
    EXPECT_EQ(window->ports().MIDIInput1().openDevice(), -1);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(ConsoleTest, StopSendsQuitToBothDecksAndEndsADeckThatDoesNotQuit) {
    writeConfig(sampleRecord());
    ASSERT_TRUE(startConsole());
    pressEngine();
    // Deck 1 hangs on its way out.
    FakeDeck* old1 = host.decks[0];
    FakeDeck* old2 = host.decks[1];
    old1->quits = false;
    old1->endsOnTerm = false;
    host.decks.clear();
    pressEngine();
    EXPECT_EQ(host.sleeps.back(), 1000);
    EXPECT_FALSE(portsOpen());
    ZenButton* button = window->ui().fltButton[0];
    EXPECT_EQ(button->Caption(), "START");
    EXPECT_EQ(button->DotColor(), zen::kLightOffDot);
    EXPECT_EQ(button->OverColor(), zen::kLightOffOver);
    EXPECT_EQ(old1->commands, std::vector<int>{zen::cmd::kQuit});
    EXPECT_EQ(old2->commands, std::vector<int>{zen::cmd::kQuit});
    EXPECT_TRUE(old2->hasEnded());

    // START at once: deck 2 starts, deck 1 waits until the old deck 1 has ended.
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

TEST_F(ConsoleTest, ADeckThatCannotStartIsReportedAndTheEngineStillStops) {
    writeConfig(sampleRecord());
    ASSERT_TRUE(startConsole());
    host.startError = "the file does not exist";
    pressEngine();
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0].text, "Deck 1 could not be started: " + programDir.path() +
                                         "/ZentariDeck: the file does not exist");
    EXPECT_EQ(host.messages[0].icon, ConsoleHost::Icon::Critical);
    EXPECT_TRUE(running());
    pressEngine();
    EXPECT_FALSE(running());
    EXPECT_FALSE(portsOpen());
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
    EXPECT_FALSE(portsOpen());
    EXPECT_FALSE(window->ports().MIDIInput1().isOpen());

    pressEngine();
    capture->click();
    capture->click(); // unticked while running: the decks still need their ports
    EXPECT_TRUE(portsOpen());
    capture->click();
    pressEngine(); // stopped while capturing: capture still needs them
    EXPECT_TRUE(portsOpen());
    capture->click();
    EXPECT_FALSE(portsOpen());
}

TEST_F(ConsoleTest, APortErrorIsReportedAndOffersTheExit) {
    writeConfig(sampleRecord());
    ASSERT_TRUE(startConsole());
    // Cable folders that are files cannot be used, neither the first choice nor the fallback.
    QTemporaryDir runtime;
    ASSERT_TRUE(QDir(runtime.path()).mkpath("home/.cache"));
    for (const char* blocked : {"zentari-midi", "home/.cache/zentari-midi"}) {
        QFile blocker(runtime.filePath(blocked));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    const QByteArray previousRuntime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray previousHome = qgetenv("HOME");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    qputenv("HOME", runtime.filePath("home").toUtf8());
    host.answers = {false, false};
    options().chkMapping->click();
    pump();
    qputenv("XDG_RUNTIME_DIR", previousRuntime);
    qputenv("HOME", previousHome);
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_TRUE(host.messages[0].text.startsWith("MIDI Internal1 Error \r\n1: The MIDI cable "))
        << host.messages[0].text.toStdString();
    EXPECT_TRUE(host.messages[1].text.startsWith("MIDI Internal2 Error \r\n1: "));
    EXPECT_EQ(host.messages[0].title, "ZentariMix");
    EXPECT_EQ(host.messages[0].icon, ConsoleHost::Icon::Critical);
    EXPECT_EQ(host.questions.size(), 2u);
    EXPECT_EQ(host.ended, 0);
}
