#include "ConsoleTestSupport.h"

#include "common/DeckCommands.h"
#include "common/DeckPlaces.h"
#include "common/ZenButton.h"
#include "common/midi/CableFolder.h"
#include "console/DeckLauncher.h"
#include "console/MappingBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QMessageBox>
#include <QTimer>

// Every trouble the DJ meets shows its own message, and the console carries on where it can.
TEST_F(ConsoleTest, EachTroubleIsReportedInItsOwnWords) {
    const QString critical = "critical: ";
    const struct {
        const char* trouble;
        std::function<void()> meet;
        QStringList messages; // as they begin, critical ones marked so
    } troubles[] = {
        {"small screen and a settings file that cannot be read",
         [&] {
             host.screen = {800, 600};
             ASSERT_TRUE(QDir(programDir.path()).mkdir("ZentariDJ.ini"));
             ASSERT_TRUE(startConsole()) << "start-up goes on";
             // Every field read as empty text; an empty external input opens nothing.
             EXPECT_EQ(options().cmbExternal->currentText(), "<none>");
             EXPECT_EQ(options().txtMapping[3]->text(), "");
             EXPECT_EQ(window->ports().deckDevice(1), -1);
             ASSERT_TRUE(QDir(programDir.path()).rmdir("ZentariDJ.ini"));
             host.screen = {1280, 1024};
         },
         {"You need at least 1024x768 to run this software.", "ERROR opening ZentariDJ.ini"}},
        {"fewer than two cables",
         [&] {
             const QStringList outputs = std::exchange(host.outputs, {"MIDI Yoke 1", "Synth"});
             EXPECT_FALSE(startConsole());
             EXPECT_EQ(host.keyStarts, 1) << "the keyboard was started after all";
             host.outputs = outputs;
         },
         {"You must install Midi Yoke Junction to run ZentariMix. Info at "
          "docs/user-guide.md#midi-cables"}},
        {"no sound device",
         [&] {
             const auto sound = std::exchange(host.sound, {});
             host.soundProblem = "No sound server answered: JACK server \"default\" is not running";
             EXPECT_FALSE(startConsole());
             EXPECT_EQ(host.ended, 2) << "the program did not end";
             host.sound = sound;
             writeConfig(sampleRecord());
             ASSERT_TRUE(startConsole());
         },
         {"No sound devices. Check your sound configuration.\n\nNo sound server answered: JACK "
          "server \"default\" is not running"}},
        {"a deck that cannot start",
         [&] {
             host.startError = "the file does not exist";
             pressEngine();
             EXPECT_TRUE(window->engine().running()) << "the engine did not start all the same";
             pressEngine();
             EXPECT_FALSE(window->engine().running() || portsOpen());
             host.startError.clear();
         },
         {critical + "Deck 1 could not be started: " + programDir.path() +
              "/ZentariDeck: the file does not exist",
          critical + "Deck 2 could not be started: "}},
        {"copies that cannot be written whole: no deck starts on them",
         [&] {
             const qsizetype launched = host.startedPrograms.size();
             const QString copy = programDir.filePath("deck2.ini");
             ASSERT_TRUE(QFile::remove(copy) && QDir().mkpath(copy + "/in the way"));
             pressEngine();
             ASSERT_TRUE(QDir(copy).removeRecursively());
             const QString file = programDir.filePath("ZentariDJ.ini");
             ASSERT_TRUE(QFile::remove(file) && QDir().mkdir(file));
             pressEngine();
             ASSERT_TRUE(QDir().rmdir(file));
             writeConfig(sampleRecord());
             EXPECT_FALSE(window->engine().running() || portsOpen());
             EXPECT_EQ(host.startedPrograms.size(), launched);
         },
         {critical + "Error writing deck2.ini: Is a directory",
          critical + "Error writing deck1.ini: ZentariDJ.ini is not a file that can be read"}},
        {"a save that works",
         [&] { saveOptions(); },
         {"Configuration saved succesful. You must re-start the engine to use new settings "
          "(START/STOP button)."}},
        {"a save that cannot write",
         [&] {
             options().txtMapping[2]->setText("a\"b"); // a quote cannot be stored
             saveOptions();
             options().txtMapping[2]->setText("2");
             host.folder = programDir.filePath("gone"); // nor can a folder that is not there
             saveOptions();
             host.folder = programDir.path();
         },
         {"Error writing ZentariDJ.ini", "Error writing ZentariDJ.ini"}},
        {"cable folders that cannot be used, neither the first choice nor the fallback, at START: "
         "said before the decks start (whose own boxes would cover them), then the exit offered",
         [&] {
             zen::midi::cableFolderOwner = [](const std::string&, uid_t owner) {
                 return owner + 1; // another user made them
             };
             host.answers = {false, false};
             const qsizetype started = host.startedPrograms.size();
             const std::size_t asked = host.questions.size();
             pressEngine();
             zen::midi::cableFolderOwner = nullptr;
             for (const TestHost::Message& m : host.messages)
                 EXPECT_EQ(m.decksStarted, started) << m.text.toStdString();
             EXPECT_EQ(host.questions.size(), asked + 2) << "the exit was not offered";
             EXPECT_EQ(host.startedPrograms.size(), started + 2) << "No goes on with START";
         },
         {critical + "MIDI Internal1 Error \r\n1: The MIDI cable ",
          critical + "MIDI Internal2 Error \r\n1: "}},
    };
    for (const auto& t : troubles) {
        host.messages.clear();
        t.meet();
        QStringList shown;
        for (const TestHost::Message& m : host.messages)
            shown << (m.icon == ConsoleHost::Icon::Critical ? critical : QString()) + m.text;
        ASSERT_EQ(shown.size(), t.messages.size())
            << t.trouble << ": " << shown.join('|').toStdString();
        for (qsizetype i = 0; i < shown.size(); ++i)
            EXPECT_TRUE(shown[i].startsWith(t.messages[i]))
                << t.trouble << ": " << shown[i].toStdString();
        for (const TestHost::Message& m : host.messages)
            EXPECT_TRUE(m.title.isEmpty() || m.title == "ZentariMix") << m.title.toStdString();
    }
}

// The close box of the console asks first; only a running engine tells the decks to quit, and a
// deck that does not quit in time is ended. The window manager's close leaves the decks running.
TEST_F(ConsoleTest, ClosingAsksAndOnlyARunningEngineTellsTheDecksToQuit) {
    writeConfig(sampleRecord());
    ASSERT_TRUE(startConsole());
    host.answers = {false};
    window->salir();
    EXPECT_EQ(host.questions, std::vector<QString>{"Are you sure to exit?"});
    EXPECT_EQ(host.ended, 0);
    window->salir(); // Yes, stopped: no command, no wait
    EXPECT_EQ(host.ended, 1);
    EXPECT_EQ(host.keyStops, 1);
    EXPECT_EQ(host.sleeps.size(), 1u);

    pressEngine();
    host.decks[1]->quits = false;
    window->salir();
    EXPECT_EQ(host.sleeps.back(), 2000);
    for (const FakeDeck* deck : host.decks)
        EXPECT_EQ(deck->commands, std::vector<int>{zen::cmd::kQuit});
    EXPECT_EQ(host.decks[0]->terms + host.decks[1]->terms, 1) << "deck 2 did not quit in time";
    EXPECT_EQ(window->launcher().running(), 0);
    EXPECT_FALSE(portsOpen());
    EXPECT_EQ(host.ended, 2);

    ASSERT_TRUE(startConsole());
    window->show();
    pressEngine();
    host.answers = {false, true};
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->engine().running() && portsOpen());
    EXPECT_TRUE(window->close());
    pump();
    EXPECT_EQ(host.ended, 3);
    EXPECT_FALSE(portsOpen());
    for (std::size_t i = 2; i < host.decks.size(); ++i)
        EXPECT_TRUE(host.decks[i]->commands.empty() && !host.decks[i]->hasEnded() &&
                    host.decks[i]->terms == 0);
}

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
        EXPECT_EQ(bytesOf(copy), bytesOf()) << copy;
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

// A second press before START's copies are written takes the START back, as it would once the
// decks run: the engine ends stopped and no deck starts.
TEST_F(ConsoleTest, APressWhileStartWritesTheCopiesTakesItBack) {
    writeConfig(sampleRecord());
    ASSERT_TRUE(startConsole());
    host.copyDelayMs = 300;
    emit window->ui().fltButton[0]->MouseDown(ZenButton::RightButton, 0, 5, 5);
    ASSERT_TRUE(window->config().copying());
    pressEngine();
    pump(100);
    EXPECT_EQ(window->ui().fltButton[0]->Caption(), "START");
    EXPECT_TRUE(host.startedPrograms.isEmpty());
    EXPECT_FALSE(portsOpen());

    pressEngine();
    EXPECT_EQ(window->ui().fltButton[0]->Caption(), "STOP");
    EXPECT_EQ(host.startedPrograms.size(), 2);
}

// A deck that dies untold comes back alone, resuming the one that died, until it has died three
// times within a minute; one that ends on its own way out stays down. Decks found running when the
// console starts, or at START, are taken over: never a second deck on their cables.
TEST_F(ConsoleTest, DecksThatDieComeBackAloneAndDecksFoundRunningAreTakenOver) {
    writeConfig(sampleRecord());
    ASSERT_TRUE(startConsole());
    pressEngine();
    ASSERT_EQ(host.decks.size(), 2u);
    FakeDeck* deck2 = host.decks[1];
    for (int death = 1; death <= DeckLauncher::kRestartLimit; ++death) {
        FakeDeck* dying = death == 1 ? host.decks[0] : host.decks.back();
        const qint64 died = dying->pid();
        dying->crash(); // the console lets go of it on the way
        pump();
        const bool back = death < DeckLauncher::kRestartLimit;
        ASSERT_EQ(host.decks.size(), 2u + std::min(death, 2)) << "death " << death;
        EXPECT_TRUE(!back ||
                    (host.decks.back()->argument == "1" && host.decks.back()->resumeFrom == died));
        EXPECT_TRUE(window->monitor().text().endsWith(
            back ? "Deck 1 restarted" : "Deck 1 failed 3 times in a minute: left down"));
    }
    EXPECT_TRUE(deck2->commands.empty() && !deck2->hasEnded()) << "deck 2 was disturbed";
    deck2->end(); // the DJ closed its window
    pump();
    EXPECT_EQ(host.decks.size(), 4u);

    // A console that starts while decks run takes them over, and its STOP ends them.
    for (const char* deck : {"1", "2"})
        host.leftRunning[deck] = std::make_unique<FakeDeck>(deck);
    FakeDeck* running1 = host.leftRunning["1"].get();
    ASSERT_TRUE(startConsole());
    EXPECT_TRUE(window->engine().running() && portsOpen());
    EXPECT_TRUE(window->monitor().text().endsWith("Running decks taken over"));
    EXPECT_EQ(host.decks.size(), 4u);
    pressEngine();
    EXPECT_EQ(running1->commands, std::vector<int>{zen::cmd::kQuit});
    EXPECT_TRUE(running1->hasEnded());
    // A deck started by hand on deck 1's cable counts as deck 1 at START.
    host.leftRunning["1"] = std::make_unique<FakeDeck>("1");
    pressEngine();
    ASSERT_EQ(host.decks.size(), 5u);
    EXPECT_EQ(host.decks.back()->argument, "2");
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

// The program's message boxes show the names of files and folders as they are, never as markup.
TEST(ConsoleHostTest, MessageBoxesShowPlainText) {
    SystemConsoleHost host;
    std::vector<Qt::TextFormat> formats;
    const auto answer = [&] {
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            formats.push_back(box->textFormat());
            box->done(QMessageBox::Yes);
        });
    };
    answer();
    host.showMessage("Deck 1 could not be started: /music/<b>bold</b>/ZentariDeck", "", {});
    answer();
    host.askYesNo("Are you sure to exit?", "ZentariMix");
    EXPECT_EQ(formats, std::vector<Qt::TextFormat>(2, Qt::PlainText));
}

// On every screen a DJ may have, the engine button stays on the screen and out from under the
// decks once they show: the console goes where no deck lands, or is kept above them.
TEST_F(ConsoleTest, TheEngineButtonStaysInReachOnEveryScreen) {
    // Both decks at the top, side by side, with a window manager's title bar each.
    const QRect decks(0, 0, kDeck2Left + kDeckWidth, kDeckHeight + 32);
    writeConfig(sampleRecord());
    for (const QSize screen :
         {QSize(1024, 768), QSize(1280, 1024), QSize(1366, 768), QSize(1920, 1080)}) {
        host.screen = screen;
        ASSERT_TRUE(startConsole());
        const QWidget* button = window->ui().fltButton[0];
        const QRect place(window->pos() + button->pos(), button->size());
        EXPECT_TRUE(QRect(QPoint(), screen).contains(place)) << screen.width();
        const bool above = window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        EXPECT_TRUE(above || !decks.intersects(place)) << screen.width() << " covered";
        // Kept above other windows only where no place is free of the decks.
        EXPECT_EQ(above, screen.height() < 1000) << screen.width();
    }
}
