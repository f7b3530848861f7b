#pragma once

#include "common/midi/CableFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

// Runs the event loop until the condition holds or the time is up.
inline bool waitFor(const std::function<bool()>& condition,
                    std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
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
    static void pump(std::chrono::milliseconds time) {
        waitFor([] { return false; }, time);
    }

private:
    QTemporaryDir runtime_;
};
