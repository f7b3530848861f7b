#include "Desktop.h"
#include "Measure.h"
#include "Scenarios.h"

#include <QThread>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <vector>

using namespace zen::desktop;
using zen::bench::Clock;
using zen::bench::msSince;

namespace {

// Long enough for each deck to see its output gone (it looks four times a second).
constexpr unsigned long kDeadMs = 1000;
constexpr double kBackWithinMs = 10000;
// A hang this long, in a take this long (the recorder hangs with the server: what the take holds
// is the time before and after).
constexpr double kHangMs = 2000;
constexpr double kHangTakeSeconds = 5;

struct Hang {
    double shownMs = -1;      // until both decks' status lines show, from the hang
    double backMs = 0;        // the longest silence of either deck in the take: after the hang
    double resumeErrorMs = 0; // the worse deck: where it plays on, less where its track would be
};

// The server hung in the middle of the set, and answering again.
bool hangServer(LiveSet& set, Hang& hang) {
    const pid_t server = pid_t(set.server().pid());
    const QStringList decks = visibleWindows("Zentari DJ System");
    double hungMs = 0;
    const auto take = set.recordWhile(kHangTakeSeconds, [&] {
        const Clock::time_point stopped = Clock::now();
        ::kill(server, SIGSTOP);
        // Each deck's line until it shows: the later of the two.
        std::vector<bool> shown(std::size_t(decks.size()), false);
        while (decks.size() == 2 && hang.shownMs < 0 && msSince(stopped) < kHangMs) {
            for (std::size_t d = 0; d < shown.size(); ++d)
                shown[d] = shown[d] || deckShowsStatus(decks[int(d)]);
            if (shown[0] && shown[1])
                hang.shownMs = msSince(stopped);
            else
                QThread::msleep(20);
        }
        QThread::msleep(static_cast<unsigned long>(std::max(0.0, kHangMs - msSince(stopped))));
        hungMs = msSince(stopped);
        ::kill(server, SIGCONT);
    });
    for (int deck : {1, 2}) {
        const std::vector<float>& heard = take[std::size_t(deck - 1)];
        const auto gap = live::longestGap(heard);
        const auto offsets = gap ? live::offsetsAround(heard, *gap, set.track(deck)) : std::nullopt;
        if (!offsets) {
            std::fprintf(stderr, "live_faults: deck %d did not play on after the hang\n", deck);
            return false;
        }
        // The track moved on, unheard, for as long as the server hung.
        const double errorMs =
            1000.0 * double(offsets->second - offsets->first) / LiveSet::kRate - hungMs;
        const double backMs = 1000.0 * double(gap->second - gap->first) / LiveSet::kRate;
        std::fprintf(stderr, "hang: deck %d silent %.1f ms after it, resumed %+.1f ms off\n", deck,
                     backMs, errorMs);
        hang.backMs = std::max(hang.backMs, backMs);
        hang.resumeErrorMs = std::max(hang.resumeErrorMs, std::abs(errorMs));
    }
    return true;
}

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

    Hang hang;
    if (!hangServer(set, hang)) return {{"hung_server_back_ms", -1}};
    std::fprintf(stderr, "hang: both decks said so after %.0f ms\n", hang.shownMs);

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
            {"hung_server_shown_ms", hang.shownMs},
            {"hung_server_back_ms", hang.backMs},
            {"hung_resume_error_ms", hang.resumeErrorMs},
            {"quit_dead_server_ms", quitDead},
            {"quit_hung_server_ms", quitHung}};
}
