#include "Desktop.h"
#include "Measure.h"
#include "Scenarios.h"

#include <QThread>
#include <algorithm>
#include <csignal>
#include <cstdio>

using namespace zen::desktop;
using zen::bench::Clock;
using zen::bench::msSince;

namespace {

// Long enough for each deck to see its output gone (it looks four times a second).
constexpr unsigned long kDeadMs = 1000;
constexpr double kBackWithinMs = 10000;

// Both decks' clients are back on the server, their ports connected to its playback ports.
bool bothConnected(const zen::e2e::JackServer& server) {
    const auto connections = zen::e2e::jackConnections(server.environment());
    for (int deck : {1, 2})
        if (connections.value(QString("Zentari Deck %1:left").arg(deck)).isEmpty()) return false;
    return true;
}

// STOP as the DJ presses it: the milliseconds until both decks have ended, -1 when one did not
// within 5 s.
double quitMs(LiveSet& set) {
    const std::vector<pid_t> decks = deckChildren();
    const Clock::time_point pressed = Clock::now();
    if (decks.size() != 2 || !set.console().pressEngine()) return -1;
    for (pid_t deck : decks)
        if (waitForEnd(deck, std::chrono::seconds(5)) == -1) return -1;
    return msSince(pressed);
}

} // namespace

Figures serverReturn(LiveSet& set, int runs) {
    zen::e2e::JackServer& server = set.server();
    const auto restart = [&] { return server.start("live", int(LiveSet::kRate), 2); };
    int alive = 2;
    double back = 0;
    for (int run = 0; run < runs; ++run) {
        server.stop(true);
        QThread::msleep(kDeadMs);
        alive = std::min(alive, int(deckChildren().size()));
        if (!restart()) {
            std::fprintf(stderr, "live_faults: the sound server did not start again\n");
            return {{"server_back_ms", -1}};
        }
        const Clock::time_point returned = Clock::now();
        while (!bothConnected(server) && msSince(returned) < kBackWithinMs)
            QThread::msleep(10);
        const double runBack = msSince(returned);
        if (!set.bothPlaying()) {
            std::fprintf(stderr, "live_faults: the decks did not play on with the server back\n");
            return {{"server_back_ms", -1}};
        }
        std::fprintf(stderr, "server: decks alive %zu, back after %.0f ms\n", deckChildren().size(),
                     runBack);
        back = std::max(back, runBack);
    }

    // A quit with the server dead, then with it hung; each time the set starts again after.
    QString error;
    server.stop(true);
    QThread::msleep(kDeadMs);
    const double quitDead = quitMs(set);
    if (!restart() || !set.startDecks(error)) {
        std::fprintf(stderr, "live_faults: %s\n", error.toLocal8Bit().constData());
        return {{"quit_dead_server_ms", -1}};
    }
    ::kill(pid_t(server.pid()), SIGSTOP);
    QThread::msleep(kDeadMs);
    const double quitHung = quitMs(set);
    ::kill(pid_t(server.pid()), SIGCONT);
    if (!set.startDecks(error))
        std::fprintf(stderr, "live_faults: %s\n", error.toLocal8Bit().constData());
    std::fprintf(stderr, "server: quit in %.0f ms dead, %.0f ms hung\n", quitDead, quitHung);
    return {{"decks_alive_after_server_death", alive},
            {"server_back_ms", back},
            {"quit_dead_server_ms", quitDead},
            {"quit_hung_server_ms", quitHung}};
}
