#pragma once

#include "common/midi/CableFolder.h"
#include "common/midi/MIDIInput.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

// Runs the event loop until the condition holds, five seconds at most (the deck tests use it).
inline bool waitFor(const std::function<bool()>& condition) {
    return QTest::qWaitFor(condition);
}

// Each test gets a private runtime folder, so its cables meet no other test's.
class CableFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "midi_test";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    }

    // The home folder is private too: it holds the fallback cable folder.
    void SetUp() override {
        ASSERT_TRUE(runtime_.isValid());
        ASSERT_TRUE(QDir().mkdir(runtime_.path() + "/home"));
        qputenv("XDG_RUNTIME_DIR", runtime_.path().toUtf8());
        qputenv("HOME", (runtime_.path() + "/home").toUtf8());
    }
    void TearDown() override { zen::midi::cableFolderOwner = nullptr; }

    QString cableFolder() const { return runtime_.path() + "/zentari-midi"; }
    QString fallbackFolder() const { return runtime_.path() + "/home/.cache/zentari-midi"; }

    QStringList socketFiles(int cable, const QString& folder = {}) const {
        return QDir(folder.isEmpty() ? cableFolder() : folder)
            .entryList({QString("cable%1-*.sock").arg(cable)}, QDir::System);
    }

    // A message as an input received it, tagged with the input's number in the test.
    struct Received {
        int tag;
        int status;
        int data1;
        int data2;
        bool operator==(const Received&) const = default;
    };
    using Log = std::vector<Received>;

    void recordErrors(zen::MidiPort& port) {
        QObject::connect(&port, &zen::MidiPort::error,
                         [this](qint16 number, const QString&) { errors.push_back(number); });
    }
    // Opens and starts an input that records what it receives, tagged with `tag`.
    void listen(zen::MIDIInput& input, qint16 device, int tag) {
        QObject::connect(&input, &zen::MIDIInput::messageReceived, [this, &input, tag] {
            received.push_back({tag, input.status(), input.data1(), input.data2()});
        });
        recordErrors(input);
        input.action(device, zen::MidiAction::Open);
        input.action(device, zen::MidiAction::Start);
    }
    // Waits for `count` messages, and a moment more for any that should not come.
    bool receive(std::size_t count) {
        const bool arrived = QTest::qWaitFor([&] { return received.size() >= count; });
        QTest::qWait(50);
        return arrived;
    }

    Log received;
    std::vector<int> errors;

private:
    QTemporaryDir runtime_;
};
