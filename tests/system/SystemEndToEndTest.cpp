#include "SystemTestSupport.h"

#include "ControllerStream.h"
#include "Desktop.h"
#include "Tracks.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

// A set as a DJ plays it: the real console starts its real decks on the display and the sound
// server; each deck plays its own tone from the keyboard; the settings are saved through the
// options panel and its message; a deck dies in the middle of the set and comes back; the console
// dies and, started again, takes over the decks that play on.

using namespace zen::system;
using namespace zen::desktop;
using zen::bench::runEventsFor;

namespace {

// Each deck plays its own tone, so a recording of both tells them apart.
constexpr double kDeck1Hz = 500, kDeck2Hz = 1500;
// What sounds: a tone well above the dither of an idle output; silence well below it.
constexpr double kSounding = 0.02, kSilent = 0.002;
// The options panel's "Save and Close" button.
constexpr QPoint kSaveButton{458, 530};

class SystemEndToEndTest : public SystemTest {
protected:
    void SetUp() override {
        SystemTest::SetUp();
        if (IsSkipped()) return;
        for (auto [name, hz] :
             {std::pair{"1 deck one.wav", kDeck1Hz}, {"2 deck two.wav", kDeck2Hz}})
            ASSERT_TRUE(zen::bench::writeSineWav((console.musicFolder() + "/" + name).toStdString(),
                                                 hz, 20));
        settings = console.settings();
        settings.bpmDetection = "OFF";
        // Deck 1's play and stop keys F5 and F6, deck 2's play key F7.
        for (auto [entry, code] : {std::pair{16, 63}, {17, 64}, {21, 65}})
            settings.mapping[entry] = QString::number(code);
        QString error;
        ASSERT_TRUE(console.start(settings, error)) << error.toStdString();
    }

    // START, then each deck loads its tone through its browser, as a DJ double-clicks a file.
    bool startSet() {
        const QStringList decks = startEngine(console.programFolder());
        if (decks.size() != 2) return false;
        doubleClickIn(decks[0], kDeckFirstFile);
        doubleClickIn(decks[1], kDeckSecondFile);
        QThread::msleep(300);
        return true;
    }
    // Taps the key and checks what each deck then plays.
    void expectAfter(std::uint32_t keysym, bool deck1Sounds, bool deck2Sounds, const char* what) {
        tap(keysym);
        runEventsFor(100);
        expectSounding(deck1Sounds, deck2Sounds, what);
    }
    void expectSounding(bool deck1Sounds, bool deck2Sounds, const char* what) {
        const std::vector<float> take = listen();
        for (auto [hz, sounds] : {std::pair{kDeck1Hz, deck1Sounds}, {kDeck2Hz, deck2Sounds}}) {
            const double amplitude = zen::e2e::toneAmplitude(take, hz);
            EXPECT_TRUE(sounds ? amplitude > kSounding : amplitude < kSilent)
                << what << ": the deck of the " << hz << " Hz tone "
                << (sounds ? "is silent" : "sounds") << " (" << amplitude << ")";
        }
    }

    zen::config::ConfigRecord settings;
};

TEST_F(SystemEndToEndTest, ADjPlaysBothDecksFromTheKeyboardThroughAWholeSet) {
    ASSERT_TRUE(startSet());
    expectAfter(zen::bench::kKeysymF5, true, false, "deck 1's play key");
    expectAfter(zen::bench::kKeysymF7, true, true, "deck 2's play key");
    expectAfter(zen::bench::kKeysymF6, false, true, "deck 1's stop key");

    ASSERT_TRUE(clickIn(console.window(), zen::bench::ConsoleRun::kConfigButton));
    const QString options = console.otherWindow("^ZentariMix OPTIONS$");
    ASSERT_FALSE(options.isEmpty()) << "Config did not open the options panel";
    ASSERT_TRUE(clickIn(options, kSaveButton));
    ASSERT_FALSE(console.otherWindow("^ZentariMix$").isEmpty()) << "Save showed no message";
    tap(zen::bench::kKeysymReturn); // the message's OK
    zen::config::ConfigRecord stored;
    ASSERT_TRUE(stored.load(console.programFolder() + "/ZentariDJ.ini"));
    EXPECT_TRUE(stored == settings) << "Save did not store what the panel showed";

    // Deck 1 dies in the middle of the set: deck 2 plays on, and deck 1 comes back by itself,
    // playing its track again, and obeys its keys.
    expectAfter(zen::bench::kKeysymF5, true, true, "deck 1's play key again");
    const pid_t deck1Pid = deckChild(1);
    ASSERT_GT(deck1Pid, 0);
    ::kill(deck1Pid, SIGKILL);
    waitForEnd(deck1Pid, std::chrono::seconds(5));
    EXPECT_GT(zen::e2e::toneAmplitude(listen(), kDeck2Hz), kSounding)
        << "deck 2 fell silent when deck 1 died";
    bool back = false;
    for (int take = 0; take < 20 && !back; ++take)
        back = zen::e2e::toneAmplitude(listen(), kDeck1Hz) > kSounding;
    EXPECT_TRUE(back) << "deck 1 did not come back playing";
    // The monitor is read through the selection, which a busy console claims a moment late.
    bool told = false;
    for (int take = 0; take < 10 && !told; ++take)
        told = console.monitorLines().contains("Deck 1 restarted");
    EXPECT_TRUE(told);
    expectAfter(zen::bench::kKeysymF5, false, true, "deck 1's pause key on the deck come back");
    expectAfter(zen::bench::kKeysymF7, false, false, "deck 2's pause key");
    stopEngine();
}

// Whether a process holds a descriptor of the pipe end `inode`.
bool holdsPipe(pid_t pid, const QString& inode) {
    const QString folder = QString("/proc/%1/fd").arg(pid);
    for (const QString& fd : QDir(folder).entryList(QDir::System | QDir::NoDotAndDotDot))
        if (QFile::symLinkTarget(folder + "/" + fd).endsWith("pipe:[" + inode + "]")) return true;
    return false;
}

// A console that dies must leave the decks holding nothing of its own, not even what it was
// started with: a sound server waiting on a dead console's connection stalls every client.
TEST_F(SystemEndToEndTest, AConsoleStartedAgainTakesOverThePlayingDecks) {
    int inherited[2];
    ASSERT_EQ(::pipe(inherited), 0); // as a launcher might: no close-on-exec
    struct stat status {};
    ASSERT_EQ(::fstat(inherited[0], &status), 0);
    const QString inode = QString::number(status.st_ino);
    ASSERT_TRUE(holdsPipe(::getpid(), inode));
    QString error;
    ASSERT_TRUE(console.restart(error)) << error.toStdString(); // now started with the pipe
    ASSERT_TRUE(startSet());
    for (const pid_t pid : deckChildren())
        EXPECT_FALSE(holdsPipe(pid, inode)) << "deck " << pid << " kept a descriptor it inherited";
    EXPECT_FALSE(holdsPipe(static_cast<pid_t>(console.pid()), inode));
    ::close(inherited[0]);
    ::close(inherited[1]);
    tap(zen::bench::kKeysymF5);
    tap(zen::bench::kKeysymF7);
    ASSERT_TRUE(console.restart(error)) << error.toStdString();
    expectSounding(true, true, "the decks after the console died and started again");
    EXPECT_EQ(deckChildren().size(), 2u) << "the console started decks beside the running ones";
    expectAfter(zen::bench::kKeysymF5, false, true, "deck 1's pause key through the new console");
    stopEngine();
}

TEST_F(SystemEndToEndTest, StopRightAfterStartLeavesNoDeckBehind) {
    ASSERT_TRUE(console.pressEngine());
    QThread::msleep(200);
    ASSERT_TRUE(console.pressEngine());
    // Quits sent before a deck listens are lost; the console ends such decks itself.
    QThread::msleep(500);
    const std::vector<pid_t> pids = deckChildren();
    EXPECT_EQ(pids.size(), 2u);
    for (pid_t pid : pids)
        EXPECT_NE(waitForEnd(pid, std::chrono::seconds(8)), -1) << "a deck was left running";
}

} // namespace
