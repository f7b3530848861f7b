#pragma once

#include "deck/DeckHost.h"
#include "deck/DeckWindow.h"
#include "deck/audio/TestClock.h"

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// Records what the deck shows and whether it ended, instead of blocking or exiting.
class RecordingHost : public DeckHost {
public:
    struct Message {
        QString text;
        QString title;
        Icon icon;
    };

    void showMessage(const QString& text, const QString& title, Icon icon) override {
        messages.push_back({text, title, icon});
    }
    void endProcess() override { ++ended; }
    QString programFolder() const override { return folder; }
    std::vector<std::string> outputDevices() const override {
        return {"Default output", "system (JACK Audio Connection Kit)"};
    }

    std::vector<Message> messages;
    int ended = 0;
    QString folder;
};

// A deck window on the test clock, with a program folder and a music folder of its own.
class DeckTest : public ::testing::Test {
protected:
    DeckTest();

    // A first-run deck<argument>.ini on the test's music folder, with these fields.
    void writeDeckIni(const QString& argument, const QString& device1, const QString& device2,
                      const QString& bpm);
    // Starts deck 1 on device 0 with its music folder.
    void startDeck();
    // A stereo 16-bit sine WAV in the music folder; returns its file name.
    QString makeSine(const QString& name, double hz, double seconds, double amplitude = 0.5);
    void load(const QString& fileName);
    // Renders output through the test clock and then runs the loop watch once.
    std::vector<float> play(int frames);
    // The playing channel's rate in Hz.
    int rate();

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
