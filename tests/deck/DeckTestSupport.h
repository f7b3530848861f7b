#pragma once

#include "audio/EngineTestSupport.h"
#include "common/ConfigRecord.h"
#include "common/FirstRunConfig.h"
#include "deck/DeckHost.h"
#include "deck/DeckWindow.h"
#include "deck/audio/TestClock.h"

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <tuple>

// Records what the deck shows and whether it ended, instead of blocking or exiting.
class RecordingHost : public DeckHost {
public:
    using Message = std::tuple<QString, QString, Icon>; // text, title, icon

    void showMessage(const QString& text, const QString& title, Icon icon) override {
        messages.push_back({text, title, icon});
    }
    void endProcess() override { ++ended; }
    QString programFolder() const override { return folder; }
    std::vector<std::string> outputDevices() const override {
        return {"Default output", "USB-4out Interface, outputs 1-2",
                "USB-4out Interface, outputs 3-4"};
    }

    qint64 resumeFrom() const override { return resumed; }

    std::vector<Message> messages;
    int ended = 0;
    QString folder;
    qint64 resumed = 0;
};

// A deck window on the test clock, with a program folder and a music folder of its own.
class DeckTest : public ::testing::Test {
protected:
    DeckTest() : engine(zen::audio::createTestClockEngine()) {
        host.folder = programDir.path();
        window = std::make_unique<DeckWindow>(*engine, host);
    }

    // A first-run deck<argument>.ini on the test's music folder, with these fields.
    void writeDeckIni(const QString& argument, const QString& device1, const QString& device2,
                      const QString& bpm) {
        zen::config::ConfigRecord record = zen::config::firstRunConfig(musicDir.path());
        record.bpmDetection = bpm;
        record.soundDevice1 = device1;
        record.soundDevice2 = device2;
        ASSERT_TRUE(record.save(zen::config::deckFilePath(programDir.path(), argument)));
    }
    // Starts deck 1 on device 0 with its music folder; the tests step the timers' work themselves.
    void startDeck() {
        writeDeckIni("1", "0", "0", "ON");
        ASSERT_TRUE(window->startUp("1"));
        ASSERT_TRUE(host.messages.empty());
        transport().setTimersRunning(false);
    }
    // A stereo 16-bit sine WAV in the music folder; returns its file name.
    QString makeSine(const QString& name, double hz, double seconds, double amplitude = 0.5) {
        zen::audio::test::writeWav(musicDir.filePath(name).toStdString(),
                                   zen::audio::test::makeSine(hz, amplitude, 44100, seconds));
        return name;
    }
    void load(const QString& fileName) { window->loader().load(musicDir.path(), fileName); }
    // Renders output through the test clock and then runs the loop watch once.
    void play(int frames) {
        engine->render(frames);
        transport().loopTick();
    }
    // The playing channel's rate in Hz.
    int rate() {
        int hz = 0, volume = 0, pan = 0;
        EXPECT_TRUE(engine->channelGetAttributes(channel(), &hz, &volume, &pan));
        return hz;
    }

    DeckUi& ui() { return window->ui(); }
    Transport& transport() { return window->transport(); }
    Loop& loop() { return window->loop(); }
    zen::audio::Handle channel() { return window->loader().channel(); }

    QTemporaryDir programDir;
    QTemporaryDir musicDir;
    RecordingHost host;
    std::unique_ptr<zen::audio::TestClockEngine> engine;
    std::unique_ptr<DeckWindow> window;
};
