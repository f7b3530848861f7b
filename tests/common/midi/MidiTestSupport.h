#pragma once

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

    void SetUp() override {
        ASSERT_TRUE(runtime_.isValid());
        qputenv("XDG_RUNTIME_DIR", runtime_.path().toUtf8());
    }

    QString cableFolder() const { return runtime_.path() + "/zentari-midi"; }

    QStringList socketFiles(int cable) const {
        return QDir(cableFolder()).entryList({QString("cable%1-*.sock").arg(cable)}, QDir::System);
    }

    static void pump(std::chrono::milliseconds time) {
        waitFor([] { return false; }, time);
    }

private:
    QTemporaryDir runtime_;
};
