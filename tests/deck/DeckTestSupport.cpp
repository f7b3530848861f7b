#include "DeckTestSupport.h"

#include "audio/EngineTestSupport.h"
#include "common/ConfigRecord.h"
#include "common/FirstRunConfig.h"

namespace test = zen::audio::test;

DeckTest::DeckTest() : engine(zen::audio::createTestClockEngine()) {
    host.folder = programDir.path();
    window = std::make_unique<DeckWindow>(*engine, host);
}

void DeckTest::writeDeckIni(const QString& argument, const QString& device1, const QString& device2,
                            const QString& bpm) {
    zen::config::ConfigRecord record = zen::config::firstRunConfig(musicDir.path());
    record.bpmDetection = bpm;
    record.soundDevice1 = device1;
    record.soundDevice2 = device2;
    ASSERT_TRUE(record.save(zen::config::deckFilePath(programDir.path(), argument)));
}

void DeckTest::startDeck() {
    writeDeckIni("1", "0", "0", "ON");
    ASSERT_TRUE(window->startUp("1"));
    ASSERT_TRUE(host.messages.empty());
    // The tests step the timers' work themselves.
    transport().setTimersRunning(false);
}

QString DeckTest::makeSine(const QString& name, double hz, double seconds, double amplitude) {
    test::writeWav(musicDir.filePath(name).toStdString(),
                   test::makeSine(hz, amplitude, 44100, seconds));
    return name;
}

void DeckTest::load(const QString& fileName) {
    window->loader().load(musicDir.path(), fileName);
}

std::vector<float> DeckTest::play(int frames) {
    std::vector<float> out = engine->render(frames);
    transport().loopTick();
    return out;
}

int DeckTest::rate() {
    int hz = 0, volume = 0, pan = 0;
    EXPECT_TRUE(engine->channelGetAttributes(channel(), &hz, &volume, &pan));
    return hz;
}
