#include "SystemTestSupport.h"

#include "ControllerStream.h"
#include "Desktop.h"
#include "Tracks.h"

#include <QThread>
#include <csignal>

// A set as a DJ plays it: the real console starts its real decks on the display and the sound
// server; each deck plays its own tone from the keyboard; a setting is changed in the options
// panel, saved and taken by the decks at the next START; a deck dies in the middle of the set.

using namespace zen::system;
using namespace zen::desktop;
using zen::bench::runEventsFor;

namespace {

// Each deck plays its own tone, so a recording of both tells them apart.
constexpr double kDeck1Hz = 500, kDeck2Hz = 1500;
// A nudge with the tracking option on bends by 2500 Hz of the deck's 44100, some 28 Hz of deck 1's
// tone. The dropouts of a busy dummy sound server blur a half-second take by a hertz or so.
constexpr double kBend = (44100.0 + 2500) / 44100;
constexpr double kHzTolerance = 3;
// What sounds: a tone well above the dither of an idle output; silence well below it.
constexpr double kSounding = 0.02, kSilent = 0.002;
// The options panel's "Tracking normal" box and its "Save and Close" button.
constexpr QPoint kTrackingBox{26, 144}, kSaveButton{458, 530};

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
        // Deck 1's play, stop and forward nudge keys F5, F6 and F8, deck 2's play key F7.
        for (auto [entry, code] : {std::pair{16, 63}, {17, 64}, {20, 66}, {21, 65}})
            settings.mapping[entry] = QString::number(code);
        QString error;
        ASSERT_TRUE(console.start(settings, error)) << error.toStdString();
    }

    // START, then each deck loads its tone through its browser, as a DJ double-clicks a file.
    void startAndLoad() {
        const QStringList decks = startEngine(console.programFolder());
        ASSERT_EQ(decks.size(), 2);
        doubleClickIn(decks[0], kDeckFirstFile);
        doubleClickIn(decks[1], kDeckSecondFile);
        QThread::msleep(300);
    }

    Tone deck1(const std::vector<float>& take) { return strongestTone(take, 300, 1300); }
    Tone deck2(const std::vector<float>& take) { return strongestTone(take, 1300, 2000); }

    // Listens while the key is held, from a moment after it went down.
    std::vector<float> listenHolding(std::uint32_t keysym, int afterMs) {
        const std::uint8_t key = keys.keycodeOf(keysym);
        keys.press(key);
        runEventsFor(afterMs);
        std::vector<float> take = listen();
        keys.release(key);
        return take;
    }

    void playBothDecksFromTheKeyboard() {
        tap(zen::bench::kKeysymF5);
        std::vector<float> take = listen();
        EXPECT_NEAR(deck1(take).hz, kDeck1Hz, kHzTolerance)
            << "deck 1's key did not play its track";
        EXPECT_LT(deck2(take).amplitude, kSilent) << "deck 1's play key started deck 2";

        tap(zen::bench::kKeysymF7);
        take = listenHolding(zen::bench::kKeysymF8, 200);
        EXPECT_NEAR(deck1(take).hz, kDeck1Hz * kBend, kHzTolerance)
            << "holding deck 1's nudge key did not bend it";
        EXPECT_NEAR(deck2(take).hz, kDeck2Hz, kHzTolerance)
            << "deck 2's play key did not play deck 2, or the nudge of deck 1 moved deck 2's pitch";
        tap(zen::bench::kKeysymF6);
        runEventsFor(100);
        take = listen();
        EXPECT_LT(deck1(take).amplitude, kSilent) << "deck 1's stop key did not stop it";
        EXPECT_GT(deck2(take).amplitude, kSounding) << "deck 1's stop key stopped deck 2 too";
    }

    // Tracking switched off in the options panel and saved.
    void switchTrackingOffAndSave() {
        ASSERT_TRUE(clickIn(console.window(), zen::bench::ConsoleRun::kConfigButton));
        const QString options = console.otherWindow("^ZentariMix OPTIONS$");
        ASSERT_FALSE(options.isEmpty()) << "Config did not open the options panel";
        ASSERT_TRUE(clickIn(options, kTrackingBox));
        ASSERT_TRUE(clickIn(options, kSaveButton));
        ASSERT_FALSE(console.otherWindow("^ZentariMix$").isEmpty()) << "Save showed no message";
        tap(zen::bench::kKeysymReturn); // the message's OK
        zen::config::ConfigRecord expected = settings, stored;
        expected.trackingMode = "OFF";
        ASSERT_TRUE(stored.load(console.programFolder() + "/ZentariDJ.ini"));
        EXPECT_TRUE(stored == expected) << "Save did not store what the DJ set in the panel";
    }

    // With tracking off, a held nudge keeps speeding the track up.
    void playWithTheNewSettings() {
        tap(zen::bench::kKeysymF5);
        const std::vector<float> take = listenHolding(zen::bench::kKeysymF8, 300);
        const auto half = take.begin() + static_cast<std::ptrdiff_t>(take.size() / 2);
        const double early = deck1(std::vector<float>(take.begin(), half)).hz;
        const double late = deck1(std::vector<float>(half, take.end())).hz;
        EXPECT_GT(late, early * 1.05) << "after Save and a restart deck 1 still nudged as before: "
                                         "the decks did not take the new settings";
    }

    // Deck 1 dies in the middle of the set; deck 2 plays on and still obeys its keys.
    void loseDeck1() {
        const pid_t deck1Pid = deckChild(1);
        ASSERT_GT(deck1Pid, 0);
        ::kill(deck1Pid, SIGKILL);
        waitForEnd(deck1Pid, std::chrono::seconds(5));
        tap(zen::bench::kKeysymF7);
        runEventsFor(100);
        EXPECT_GT(deck2(listen()).amplitude, kSounding)
            << "with deck 1 gone, deck 2 ignored its key";
    }

    zen::config::ConfigRecord settings;
};

TEST_F(SystemEndToEndTest, ADjPlaysBothDecksFromTheKeyboardThroughAWholeSet) {
    ASSERT_NO_FATAL_FAILURE(startAndLoad());
    ASSERT_NO_FATAL_FAILURE(playBothDecksFromTheKeyboard());
    ASSERT_NO_FATAL_FAILURE(switchTrackingOffAndSave());
    ASSERT_NO_FATAL_FAILURE(stopEngine());
    ASSERT_NO_FATAL_FAILURE(startAndLoad());
    ASSERT_NO_FATAL_FAILURE(playWithTheNewSettings());
    ASSERT_NO_FATAL_FAILURE(loseDeck1());
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
