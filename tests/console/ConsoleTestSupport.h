#pragma once

#include "common/ConfigRecord.h"
#include "common/ZenButton.h"
#include "common/midi/MIDIInput.h"
#include "console/ConsoleHost.h"
#include "console/ConsoleWindow.h"

#include <QEvent>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <deque>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <thread>

// Runs the event loop long enough for cable messages and queued reports to arrive.
void pump(int ms = 50);
// A focus event as a mouse click into the widget (or elsewhere) gives it.
void focus(QWidget* widget, QEvent::Type type);

// A deck of the test double: it listens on its cable as a deck does and ends on the quit command
// and on SIGTERM unless told otherwise.
class FakeDeck : public DeckProcess {
public:
    explicit FakeDeck(QString argument, qint64 resumeFrom = 0);

    qint64 pid() const override { return pid_; }
    bool hasEnded() const override { return ended_; }
    bool diedUntold() const override { return crashed_; }
    void terminate() override;
    void kill() override;
    void end();
    // Dies without its own way out, as a crash or a kill -9.
    void crash();

    QString argument;
    qint64 resumeFrom;
    std::vector<int> commands; // controllers received
    int terms = 0;
    int kills = 0;
    bool quits = true;
    bool endsOnTerm = true;

private:
    zen::MIDIInput input_;
    qint64 pid_;
    bool ended_ = false;
    bool crashed_ = false;
};

// Records what the console shows and asks, answers from a queue, starts fake decks, and scripts
// what the window's keyboard component and CPU meter report (counting their starts and stops).
class TestHost : public ConsoleHost {
public:
    struct Message {
        QString text;
        QString title;
        Icon icon;
        qsizetype decksStarted; // when it was shown
    };

    void showMessage(const QString& text, const QString& title, Icon icon) override {
        messages.push_back({text, title, icon, startedPrograms.size()});
    }
    bool askYesNo(const QString& text, const QString& title) override;
    void endProcess() override { ++ended; }
    QString programFolder() const override { return folder; }
    QString settingsFolder() const override { return folder; }
    zen::sound::OutputList soundDevices() const override;
    QStringList midiInputs() const override { return inputs; }
    QStringList midiOutputs() const override { return outputs; }
    QSize screenSize() const override { return screen; }
    zen::console::MemoryStatus memoryStatus() const override { return memory; }
    std::unique_ptr<DeckProcess> startDeck(const QString& program, const QString& folder,
                                           const QString& deckNumber, qint64 resumeFrom,
                                           QString& error) override;
    // Hands over the deck left running for that number, once.
    std::unique_ptr<DeckProcess> findDeck(const QString& deckNumber, qint16 device) override;
    // The window thread would be held; the decks of the test double live in this process, so the
    // wait lets them act on what the console sent.
    void sleep(int ms) override;
    bool copyFile(const QString& from, const QString& to, QString& error) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(copyDelayMs.load()));
        return system.copyFile(from, to, error);
    }

    std::atomic<int> copyDelayMs{0}; // a slow disk under START's copies
    std::vector<Message> messages;
    std::deque<bool> answers; // Yes when empty
    std::vector<QString> questions;
    int ended = 0;
    QString folder;
    std::vector<std::string> sound{"Default output", "system"};
    std::string soundProblem; // why there is no sound output, when `sound` is empty
    // The cables, then two hardware ports, as the port layer numbers them.
    QStringList inputs;
    QStringList outputs;
    QSize screen{1280, 1024};
    zen::console::MemoryStatus memory;
    std::vector<int> sleeps;
    std::vector<FakeDeck*> decks; // every deck started, oldest first
    // Decks running already, by number, for a console to find.
    std::map<QString, std::unique_ptr<FakeDeck>> leftRunning;
    QStringList startedPrograms;
    QString startError; // set: starting a deck fails with this reason
    int keyStarts = 0;
    int keyStops = 0;
    int meterStarts = 0;
    std::atomic<int> heldKey = 0;
    // What the console offers the desktop as shortcuts of every window, as it offered them last.
    std::vector<zen::console::KeyShortcut> shortcuts;
    std::int32_t cpuLoad = -1;

private:
    SystemConsoleHost system;
};

// A console window on the test host, with a program folder of its own.
class ConsoleTest : public ::testing::Test {
protected:
    ConsoleTest();

    // A configuration with every field set, the ports on cables 1 and 2.
    zen::config::ConfigRecord sampleRecord() const;
    void writeConfig(const zen::config::ConfigRecord& record);
    // The bytes of a file in the program folder; empty when it cannot be read.
    QByteArray bytesOf(const QString& name = "ZentariDJ.ini") const;
    // Builds the window and runs its start-up.
    bool startConsole();
    // Pressed, and the copies START writes and the moment between its two launches let pass.
    void pressEngine() {
        emit window->ui().fltButton[0]->MouseDown(ZenButton::RightButton, 0, 5, 5);
        for (int i = 0; i < 500 && window->config().copying(); ++i)
            pump(10);
        pump(EngineControl::kLaunchGapMs + 10);
    }
    void saveOptions() { emit options().Command1->Click(); }
    bool portsOpen();

    OptionsPanel& panel() { return window->frmOptions(); }
    OptionsUi& options() { return window->frmOptions().ui(); }

    QTemporaryDir programDir;
    TestHost host;
    std::unique_ptr<ConsoleWindow> window;
};
