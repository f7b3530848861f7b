// Starts the real ZentariMix on the display and the JACK server and presses its engine button as a
// DJ would, with the decks it launches: how long START takes until both decks listen and show,
// how long the console's window thread leaves its window unanswered meanwhile, how long STOP takes
// until both have ended, and whether quick START/STOP runs at random gaps ever have more than two
// decks running or leave any behind.
//   engine_start [--measure N] [--cycles M]       (defaults: 10 and 50)

#include "ConsoleRun.h"
#include "Desktop.h"
#include "Measure.h"
#include "Programs.h"
#include "WindowPing.h"

#include <QDir>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <random>
#include <thread>

using namespace zen::desktop;
using zen::bench::Clock;
using zen::bench::msSince;
using zen::bench::percentile;

namespace {

// The console holds its window thread for this long after STOP.
constexpr int kStopWaitMs = 1000;

int fail(const char* why) {
    std::fprintf(stderr, "engine_start: %s\n", why);
    return 1;
}

// Each deck opens its input as a socket of its cable; a new file is a new deck listening.
QStringList cableSockets(const QString& runtime, int cable) {
    return QDir(runtime + "/zentari-midi")
        .entryList({QString("cable%1-*").arg(cable)}, QDir::System | QDir::Files);
}

bool bothListening(const QString& runtime, const QStringList& before1, const QStringList& before2) {
    const auto fresh = [&](int cable, const QStringList& before) {
        for (const QString& name : cableSockets(runtime, cable))
            if (!before.contains(name)) return true;
        return false;
    };
    return fresh(1, before1) && fresh(2, before2);
}

} // namespace

int main(int argc, char** argv) {
    int measured = 10, cycles = 50;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QString flag = QString::fromLocal8Bit(argv[i]);
        if (flag == "--measure") measured = std::atoi(argv[i + 1]);
        if (flag == "--cycles") cycles = std::atoi(argv[i + 1]);
    }
    if (!zen::e2e::servicesRunning())
        return fail("needs a display and a JACK server: eval $(scripts/services start)");
    zen::bench::ConsoleRun console;
    QString error;
    if (!console.start(console.settings(), error)) return fail(error.toLocal8Bit().constData());
    const QString runtime = console.runtimeFolder();

    zen::bench::WindowPing ping(console.window());
    if (!ping.connected()) return fail("cannot ping the console window");
    std::vector<double> startReady, stopEnd, startBlock;
    for (int i = 0; i < measured; ++i) {
        const QStringList before1 = cableSockets(runtime, 1), before2 = cableSockets(runtime, 2);
        ping.start();
        const Clock::time_point pressed = Clock::now();
        console.pressEngine();
        bool ready = false;
        while (!ready && msSince(pressed) < 20000) {
            QThread::msleep(5);
            ready = bothListening(runtime, before1, before2) &&
                    visibleWindows("Zentari DJ System").size() == 2;
        }
        if (!ready) return fail("the decks did not come up");
        startReady.push_back(msSince(pressed));
        startBlock.push_back(ping.stop());
        QThread::msleep(1000);
        const std::vector<pid_t> decks = deckChildren();
        const Clock::time_point stopped = Clock::now();
        console.pressEngine();
        for (pid_t pid : decks)
            if (waitForEnd(pid, std::chrono::seconds(20)) == -1) return fail("a deck did not end");
        stopEnd.push_back(msSince(stopped));
        QThread::msleep(kStopWaitMs + 300);
    }

    // Quick runs at random gaps, watched all along.
    std::atomic<bool> watching{true};
    std::atomic<int> maxRunning{0};
    std::thread watcher([&] {
        while (watching) {
            maxRunning = std::max(maxRunning.load(), runningDecks());
            QThread::msleep(10);
        }
    });
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> gap(100, 3000);
    for (int i = 0; i < cycles; ++i) {
        console.pressEngine();
        QThread::msleep(static_cast<unsigned long>(gap(random)));
        console.pressEngine();
        QThread::msleep(static_cast<unsigned long>(gap(random)));
    }
    // The last STOP's wait, then the console's grace for a deck that missed its quit.
    QThread::msleep(kStopWaitMs + 3000 + 2000 + 1000);
    watching = false;
    watcher.join();
    const int left = runningDecks();

    std::printf("start_ready_ms_max=%.1f\n", percentile(startReady, 1.0));
    std::printf("start_window_block_ms=%.1f\n", percentile(startBlock, 1.0));
    std::printf("stop_end_ms_p50=%.1f\n", percentile(stopEnd, 0.5));
    std::printf("start_ready_ms=%.1f\n", percentile(startReady, 0.5));
    std::printf("stop_end_ms=%.1f\n", percentile(stopEnd, 0.95));
    std::printf("max_decks_running=%d\n", maxRunning.load());
    std::printf("decks_left=%d\n", left);
    return 0;
}
