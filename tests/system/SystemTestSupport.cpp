#include "SystemTestSupport.h"

#include "ControllerStream.h"
#include "Desktop.h"
#include "Recording.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>

namespace zen::system {

using namespace zen::desktop;

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing");
}

void SystemTest::SetUp() {
    if (!zen::e2e::servicesRunning())
        GTEST_SKIP() << "no display or JACK server: start them (scripts/services start)";
    ASSERT_TRUE(keys.connected()) << "no XTEST keyboard on the display";
    ASSERT_TRUE(work.isValid());
}

void SystemTest::tap(std::uint32_t keysym) {
    const std::uint8_t key = keys.keycodeOf(keysym);
    ASSERT_NE(key, 0) << "the display's keyboard has no key for keysym " << keysym;
    keys.press(key);
    zen::bench::runEventsFor(60);
    keys.release(key);
    zen::bench::runEventsFor(60);
}

QStringList SystemTest::startEngine(const QString& settingsFolder) {
    EXPECT_TRUE(console.pressEngine());
    const QString deck1 = deckOneWindow();
    if (deck1.isEmpty()) {
        ADD_FAILURE() << "START showed no deck windows";
        return {};
    }
    QStringList decks = visibleWindows("Zentari DJ System");
    decks.removeAll(deck1);
    decks.prepend(deck1);

    const QByteArray settings = fileBytes(settingsFolder + "/ZentariDJ.ini");
    for (int deck : {1, 2}) {
        EXPECT_EQ(fileBytes(settingsFolder + QString("/deck%1.ini").arg(deck)), settings)
            << "deck " << deck << " did not get the console's settings at START";
        bool listening = false;
        for (int i = 0; i < 100 && !listening; ++i) {
            listening = !socketsOf(deckChild(deck)).isEmpty();
            if (!listening) QThread::msleep(50);
        }
        EXPECT_TRUE(listening) << "deck " << deck << " does not listen to the console";
    }
    return decks;
}

void SystemTest::stopEngine() {
    const std::vector<pid_t> decks = deckChildren();
    ASSERT_TRUE(console.pressEngine());
    for (pid_t pid : decks) {
        const int status = waitForEnd(pid, std::chrono::seconds(5));
        EXPECT_NE(status, -1) << "a deck went on running after STOP";
        EXPECT_TRUE(status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "a deck ended badly on STOP: status " << status;
        EXPECT_TRUE(socketsOf(pid).isEmpty()) << "a deck that ended on STOP left its cable behind";
    }
}

std::vector<float> SystemTest::listen() {
    return zen::e2e::recordOutput(work.filePath(QString("take%1.wav").arg(++takes_)), 0.5);
}

QStringList SystemTest::socketsOf(pid_t process) const {
    return QDir(console.runtimeFolder() + "/zentari-midi")
        .entryList({QString("cable*-%1-*").arg(process)}, QDir::System | QDir::Files);
}

} // namespace zen::system
