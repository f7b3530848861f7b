#include "DeckTestSupport.h"

#include "common/DeckCommands.h"
#include "common/ZenButton.h"
#include "common/midi/MIDIOutput.h"
#include "tests/common/midi/MidiTestSupport.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRadioButton>

// The deck's remote control driven as the console drives it: Control Changes sent through a
// real cable from a port of this process, handled on the window thread.

constexpr zen::Rgb kRed = zen::rgb(255, 0, 0);
constexpr qint16 kCable1 = 0;

class DeckRemoteTest : public DeckTest {
protected:
    // Each test has cables of its own.
    void SetUp() override {
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        qputenv("HOME", runtime.path().toUtf8());
    }
    void TearDown() override {
        console.action(kCable1, zen::MidiAction::Close);
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
        qputenv("HOME", savedHome);
    }

    // Sends one message and waits until the deck's handler has run.
    void send(int status, int data1) {
        const int before = handled;
        console.send(kCable1, static_cast<qint16>(status), static_cast<qint16>(data1),
                     zen::cmd::kValue);
        ASSERT_TRUE(waitFor([&] { return handled > before; })) << status << " " << data1;
    }
    void command(int data1) { send(zen::cmd::kStatus, data1); }

    bool waitForLightOff() {
        return waitFor([this] { return !ui().optActivity->isChecked(); });
    }

    QTemporaryDir runtime;
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR"), savedHome = qgetenv("HOME");
    zen::MIDIOutput console;
    int handled = 0;
    bool lightOn = false;
    zen::Rgb stopDot = 0;
};

// Only Control Changes on channel 1 that name a command do more than flash the activity light;
// the latched cue and a held bend keep their lights when it goes off; quit ends the deck as closing
// its window does: track released, input and timers stopped.
TEST_F(DeckRemoteTest, ConsoleCommandsPlayCueBendAndQuitTheDeckAndNothingElseDoes) {
    // Deck 1 configured for "MIDI Yoke 1", with the console's end of that cable open.
    startDeck();
    // What the deck showed the moment its handler had run.
    QObject::connect(&window->remote().MIDIInput(), &zen::MIDIInput::messageReceived, [this] {
        ++handled;
        lightOn = ui().optActivity->isChecked();
        stopDot = ui().cmdStop->DotColor();
    });
    console.action(kCable1, zen::MidiAction::Open);
    console.action(kCable1, zen::MidiAction::Start);
    load(makeSine("tone.wav", 440, 4));
    ui().lblinfo[4]->setText("Recorded live");
    // Play/pause on channel 2, a note with the play number, controllers that name no command.
    send(177, zen::cmd::kPlayPause);
    EXPECT_TRUE(lightOn);
    send(0x90, zen::cmd::kPlayPause);
    send(0xBF, zen::cmd::kQuit);
    for (int controller : {21, 27, 34, 36, 39})
        command(controller);
    EXPECT_TRUE(transport().stopped());
    EXPECT_FALSE(transport().cueHeld());
    EXPECT_FALSE(window->touch().bendHeld());
    EXPECT_EQ(host.ended, 0);
    // The light goes off with the comment line.
    ASSERT_TRUE(waitForLightOff());
    EXPECT_EQ(ui().lblinfo[4]->text(), "");

    command(zen::cmd::kPlayPause);
    EXPECT_FALSE(transport().stopped());
    play(44100);
    command(zen::cmd::kPlayPause);
    EXPECT_TRUE(transport().stopped()) << "the second press pauses";
    command(zen::cmd::kStop);
    EXPECT_EQ(stopDot, kRed);

    command(zen::cmd::kPlayPause);
    play(22050);
    const int ownRate = rate();
    const int amount = window->equalizer().touchAmount();
    command(zen::cmd::kCue);
    ASSERT_TRUE(waitForLightOff());
    EXPECT_EQ(ui().cmdCUE->DotColor(), zen::kLightOnDot);
    // With the cue latched the touch commands nudge the cue point, and the rate stays.
    const zen::audio::BytePosition cue = transport().cuePoint();
    command(zen::cmd::kTouchForward);
    command(zen::cmd::kTouchForward);
    EXPECT_EQ(transport().cuePoint(), cue + 2 * amount);
    command(zen::cmd::kTouchBack);
    EXPECT_EQ(transport().cuePoint(), cue + amount);
    EXPECT_EQ(engine->channelGetPosition(channel()), cue + amount);
    EXPECT_EQ(rate(), ownRate);
    command(zen::cmd::kCue);

    command(zen::cmd::kTouchBack);
    EXPECT_EQ(rate(), ownRate - amount);
    ASSERT_TRUE(waitForLightOff());
    EXPECT_EQ(ui().cmdBack->DotColor(), kRed);
    command(zen::cmd::kTouchRelease);
    EXPECT_EQ(rate(), ownRate);
    ASSERT_TRUE(waitForLightOff());
    for (ZenButton* button :
         {ui().cmdStop, ui().cmdPlay, ui().cmdPause, ui().cmdCUE, ui().cmdBack, ui().cmdForward})
        EXPECT_EQ(button->DotColor(), zen::kLightOffDot) << button->Caption().toStdString();

    const zen::audio::Handle played = channel();
    command(zen::cmd::kQuit);
    EXPECT_EQ(host.ended, 1);
    EXPECT_EQ(engine->channelGetPosition(played), -1);
    EXPECT_FALSE(window->remote().MIDIInput().isOpen());
    EXPECT_FALSE(window->remote().tmrLED().isActive());
    EXPECT_FALSE(transport().FXTimer2().isActive());
}

TEST_F(DeckRemoteTest, FailingPortIsReportedAndEndsTheDeck) {
    // A cable folder others may write to is refused when the deck opens its input, and so is
    // the fallback, which cannot be made.
    const QString folder = runtime.filePath("zentari-midi");
    ASSERT_TRUE(QDir().mkdir(folder));
    ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::Permissions(0x7777)));
    QFile cache(runtime.filePath(".cache"));
    ASSERT_TRUE(cache.open(QIODevice::WriteOnly));
    startDeck();
    ASSERT_TRUE(waitFor([this] { return host.ended > 0; }));
    const RecordingHost::Message error = {
        "MIDI Error, check your hardware and configure ZentariMix again.", "ZentariMix",
        DeckHost::Icon::Critical};
    EXPECT_EQ(host.messages, std::vector{error});
    EXPECT_EQ(host.ended, 1);
}
