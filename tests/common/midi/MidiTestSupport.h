#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

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

    // Runs the event loop until the condition holds or the time is up.
    static bool waitFor(const std::function<bool()>& condition,
                        std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return true;
    }

    static void pump(std::chrono::milliseconds time) {
        waitFor([] { return false; }, time);
    }

    // Starts a probe process listening on an input device; returns once its port is open.
    std::unique_ptr<QProcess> startProbe(int device, int count) {
        auto probe = std::make_unique<QProcess>();
        probe->start(ZENTARI_PROGRAM_DIR "/midi_probe",
                     {QString::number(device), QString::number(count)});
        EXPECT_TRUE(probe->waitForReadyRead(5000));
        EXPECT_EQ(probe->readLine().trimmed(), "ready");
        return probe;
    }

    static QStringList probeLines(QProcess& probe) {
        EXPECT_TRUE(probe.waitForFinished(5000));
        return QString::fromUtf8(probe.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    }

    static int runSender(const QStringList& args, QString* errors = nullptr) {
        QProcess sender;
        sender.start(ZENTARI_PROGRAM_DIR "/zentari-midi-send", args);
        if (!sender.waitForFinished(5000)) return -1;
        if (errors) *errors = QString::fromUtf8(sender.readAllStandardError());
        return sender.exitStatus() == QProcess::NormalExit ? sender.exitCode() : -1;
    }

private:
    QTemporaryDir runtime_;
};
