#include "DeckTestSupport.h"

#include "common/DeckRecord.h"
#include "deck/Browser.h"
#include "deck/DeckLifecycle.h"
#include "deck/DeckSlider.h"
#include "deck/displays/SpectrumView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
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
        {"2", "12", "2", "OFF", true, "2 - USB-4out Interface, outputs 3-4", "MIDI Yoke 2",
         DeckLifecycle::kDeck2Left, false, music},
        {"3", "0", "12", "ON", false, "0 - Default output", "MIDI Yoke 2",
         DeckLifecycle::kDesignLeft, true, music,
         "Error: Couldn't Initialize Digital Output\n\nOutput 12 is missing: the test clock has "
         "outputs 0 to 9 only.",
         "Digital output", Critical, 1},
        {"x", "", "", "", true, "0 - Default output", "", DeckLifecycle::kDesignLeft, false, home,
         "ERROR opening deckx.ini", "", None, 0},
        {"", "", "", "", false, "", "", DeckLifecycle::kDesignLeft, true, "",
         "You must run ZentariMix.", "", None, 1},
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

// A deck relaunched after one died carries on where it was: the same track, folder, points,
// faders, view and repeat, playing on from where the track is by now. A deck started afresh
// starts as always, and a deck that ends on its own way out takes its record with it.
TEST_F(DeckTest, RelaunchedDeckResumesTheRecordOfTheOneThatDied) {
    startDeck();
    load(makeSine("tone.wav", 440, 20));
    ui().chkRepeat->setChecked(true);
    ui().vscPitch->setValue(-300);
    window->pitch().pitchChange();
    for (auto [fader, value] : {std::pair{ui().vscEQ[0], -40},
                                {ui().vscEQ[2], 75},
                                {ui().hscEQ[0], 80},
                                {ui().hscEQ[1], -30},
                                {ui().hscEQ[2], 1200}})
        fader->setValue(value);
    ui().pctSpectrum->switchMode();
    transport().Zen_Pause();
    play(44100);
    transport().Zen_CueSet();
    loop().startPressed();
    play(22050);
    loop().endPressed();
    loop().toggleLoop();
    play(4410);
    window->recorder().writeNow();
    const DeckSnapshot before = window->recorder().snapshot();

    const auto relaunch = [&](qint64 resumeFrom) {
        auto deckHost = std::make_unique<RecordingHost>();
        deckHost->folder = programDir.path();
        deckHost->resumed = resumeFrom;
        auto deckEngine = zen::audio::createTestClockEngine();
        auto deck = std::make_unique<DeckWindow>(*deckEngine, *deckHost);
        EXPECT_TRUE(deck->startUp("1"));
        return std::tuple{std::move(deckHost), std::move(deckEngine), std::move(deck)};
    };
    // The record is the one the first deck wrote: it names this process.
    auto [host2, engine2, deck] = relaunch(QCoreApplication::applicationPid());
    DeckSnapshot after = deck->recorder().snapshot();
    EXPECT_FALSE(deck->transport().stopped());
    EXPECT_TRUE(after.position >= before.loopStart && after.position < before.loopEnd)
        << after.position << " is not in the loop it played";
    after.position = before.position;
    after.positionAtMs = before.positionAtMs;
    EXPECT_TRUE(after == before) << "the relaunched deck does not do what the dead one did";

    // Where the track is by now: on at the pitch's speed, round the loop, and at the end stopped
    // at the start or, with repeat, started again.
    constexpr int kSecond = 44100 * 4;
    const struct {
        bool loopOn, repeat;
        double elapsed;
        double seconds; // where the track is then
        bool playing;
    } cases[] = {{false, false, 2.0, 1 + 2 * 1.03, true},
                 {true, false, 1.2, 1 + (1.2 * 1.03 - 1), true},
                 {false, false, 19.0, 0, false},
                 {false, true, 19.0, 1 + 19 * 1.03 - 20, true}};
    for (const auto& c : cases) {
        DeckSnapshot s = before;
        s.position = kSecond;
        s.loopStart = kSecond;
        s.loopEnd = 2 * kSecond;
        s.loopOn = c.loopOn;
        s.repeat = c.repeat;
        deck->loop().restore(s);
        deck->transport().resume(s, c.elapsed, 1.03);
        EXPECT_NEAR(engine2->channelGetPosition(deck->loader().channel()), c.seconds * kSecond, 8)
            << c.elapsed << " s later";
        EXPECT_EQ(deck->transport().stopped(), !c.playing) << c.elapsed << " s later";
    }

    deck->recorder().writeNow();
    auto [otherHost, otherEngine, fresh] = relaunch(0);
    EXPECT_EQ(fresh->loader().channel(), 0u) << "a deck started afresh resumed a record";
    const QString record = zen::runtime::deckRecordPath(zen::runtime::runtimeFolder(), "1");
    EXPECT_TRUE(QFile::exists(record));
    fresh->close();
    EXPECT_FALSE(QFile::exists(record)) << "a deck closed by the DJ would come back";
}
