#include "Desktop.h"
#include "Scenarios.h"

#include <QThread>
#include <algorithm>
#include <cstdio>

using namespace zen::desktop;

namespace {

// The new console shows after its four-second splash and takes the decks over at once.
constexpr double kTakeSeconds = 9;
constexpr unsigned long kSettleMs = 1000;

} // namespace

Figures consoleTakeover(LiveSet& set, int runs) {
    int decks = 2;
    double gap = 0;
    for (int run = 0; run < runs; ++run) {
        QString error;
        const auto take = set.recordWhile(kTakeSeconds, [&] {
            if (!set.console().restart(error))
                std::fprintf(stderr, "live_faults: %s\n", error.toLocal8Bit().constData());
            QThread::msleep(kSettleMs);
            // Two, or the count that differs from it.
            if (const int now = runningDecks(); now != 2) decks = now;
        });
        if (take[0].empty()) {
            std::fprintf(stderr, "live_faults: the take could not be recorded\n");
            return {{"console_takeover_gap_ms", -1}};
        }
        const double runGap = std::max(live::longestGapMs(take[0]), live::longestGapMs(take[1]));
        std::fprintf(stderr, "console: %d decks after the take-over, %.1f ms gap\n", runningDecks(),
                     runGap);
        gap = std::max(gap, runGap);
    }
    return {{"console_takeover_decks", decks}, {"console_takeover_gap_ms", gap}};
}
