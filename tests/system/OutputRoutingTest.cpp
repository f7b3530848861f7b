#include "SystemTestSupport.h"

#include "ControllerStream.h"
#include "Desktop.h"
#include "SoundServers.h"
#include "Tracks.h"

#include <QThread>

// A DJ's interface of four outputs, 1-2 to the room and 3-4 to the headphones: each deck is put
// on its pair in the options panel, and after START each plays there and nowhere else, on JACK
// and on PipeWire, at their rate of 48 kHz.

using namespace zen::system;
using namespace zen::desktop;

namespace {

constexpr double kDeck1Hz = 500, kDeck2Hz = 1500;
constexpr double kSounding = 0.02, kSilent = 0.002;
// The options panel's device lists and its "Save and Close" button.
constexpr QPoint kDeckDevices[2] = {{478, 91}, {478, 199}};
constexpr QPoint kSaveButton{458, 530};

class OutputRoutingTest : public SystemTest {
protected:
    void SetUp() override {
        SystemTest::SetUp();
        if (IsSkipped()) return;
        for (auto [name, hz] : {std::pair{"1 room.wav", kDeck1Hz}, {"2 headphones.wav", kDeck2Hz}})
            ASSERT_TRUE(zen::bench::writeSineWav((console.musicFolder() + "/" + name).toStdString(),
                                                 hz, 20));
        settings = console.settings();
        settings.bpmDetection = "OFF";
        settings.soundDevice1 = settings.soundDevice2 = "0";
    }

    // Puts deck 1 on entry 1 (outputs 1-2) and deck 2 on entry 2 (outputs 3-4) of the panel's
    // lists, as the DJ picks them, and saves.
    void chooseOutputs() {
        ASSERT_TRUE(clickIn(console.window(), zen::bench::ConsoleRun::kConfigButton));
        const QString options = console.otherWindow("^ZentariMix OPTIONS$");
        ASSERT_FALSE(options.isEmpty()) << "Config did not open the options panel";
        for (int deck : {1, 2}) {
            ASSERT_TRUE(clickIn(options, kDeckDevices[deck - 1]));
            zen::bench::runEventsFor(300);
            tap(zen::bench::kKeysymHome);
            for (int i = 0; i < deck; ++i)
                tap(zen::bench::kKeysymDown);
            tap(zen::bench::kKeysymReturn);
        }
        ASSERT_TRUE(clickIn(options, kSaveButton));
        ASSERT_FALSE(console.otherWindow("^ZentariMix$").isEmpty()) << "Save showed no message";
        tap(zen::bench::kKeysymReturn);
        zen::config::ConfigRecord stored;
        ASSERT_TRUE(stored.load(console.programFolder() + "/ZentariDJ.ini"));
        EXPECT_EQ(stored.soundDevice1, "1");
        EXPECT_EQ(stored.soundDevice2, "2");
    }

    // START, each deck loads its tone and plays it.
    void startBothDecks() {
        const QStringList decks = startEngine(console.programFolder());
        ASSERT_EQ(decks.size(), 2);
        doubleClickIn(decks[0], kDeckFirstFile);
        doubleClickIn(decks[1], kDeckSecondFile);
        QThread::msleep(300);
        for (const QString& deck : decks)
            clickIn(deck, kDeckPlay);
        QThread::msleep(500);
    }

    // Channels 1-2 carry deck 1's tone alone, 3-4 deck 2's.
    void expectEachDeckOnItsPair(const zen::e2e::Take& take) {
        ASSERT_EQ(take.channels.size(), 4u) << "nothing recorded";
        for (std::size_t c = 0; c < 4; ++c) {
            const std::vector<float> heard = zen::e2e::sounding(take.channels[c]);
            const bool room = c < 2;
            for (auto [hz, sounds] : {std::pair{kDeck1Hz, room}, {kDeck2Hz, !room}}) {
                const double amplitude = zen::e2e::toneAmplitude(heard, hz, take.rate);
                EXPECT_TRUE(sounds ? amplitude > kSounding : amplitude < kSilent)
                    << "output " << c + 1 << ": the " << hz << " Hz deck "
                    << (sounds ? "is silent" : "sounds") << " (" << amplitude << ")";
            }
        }
    }

    zen::config::ConfigRecord settings;
};

TEST_F(OutputRoutingTest, OnJackEachDeckIsAClientOfItsOwnOnItsPair) {
    zen::e2e::JackServer jack;
    ASSERT_TRUE(jack.start("4out", 48000, 4)) << "jackd -d dummy -P 4 did not start";
    QString error;
    ASSERT_TRUE(console.start(settings, error, jack.environment())) << error.toStdString();
    chooseOutputs();
    startBothDecks();

    const auto connections = zen::e2e::jackConnections(jack.environment());
    for (auto [port, playback] : {std::pair{"Zentari Deck 1:left", "system:playback_1"},
                                  {"Zentari Deck 1:right", "system:playback_2"},
                                  {"Zentari Deck 2:left", "system:playback_3"},
                                  {"Zentari Deck 2:right", "system:playback_4"}})
        EXPECT_EQ(connections.value(port), QStringList{playback}) << port;
    expectEachDeckOnItsPair(zen::e2e::recordPorts(
        work.filePath("four.wav"), 0.5,
        {"system:playback_1", "system:playback_2", "system:playback_3", "system:playback_4"},
        jack.environment()));
    stopEngine();
}

TEST_F(OutputRoutingTest, OnPipeWireEachDeckIsAStreamOfItsOwnOnItsPair) {
    zen::e2e::PipeWireServer pipewire;
    QString error;
    if (!pipewire.start(error)) GTEST_SKIP() << error.toStdString();
    ASSERT_TRUE(pipewire.addSink("four", "USB-4out Interface", 4));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PULSE_SERVER", pipewire.pulseServer());
    // No JACK server by that name: PipeWire's outputs are the only ones.
    environment.insert("JACK_DEFAULT_SERVER",
                       qEnvironmentVariable("JACK_DEFAULT_SERVER") + "-none");
    ASSERT_TRUE(console.start(settings, error, environment)) << error.toStdString();
    chooseOutputs();
    startBothDecks();
    QStringList applications = pipewire.applications();
    applications.sort();
    EXPECT_EQ(applications, (QStringList{"Zentari Deck 1", "Zentari Deck 2"}));
    expectEachDeckOnItsPair(zen::e2e::recordSink(pipewire.pulseServer(), "four", 4, 0.5));
    stopEngine();
}

} // namespace
