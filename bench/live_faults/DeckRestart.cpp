#include "Desktop.h"
#include "Scenarios.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>

using namespace zen::desktop;

namespace {

// A deck that dies this many times within a minute is left down: the runs stop short of it.
constexpr int kMostRunsPerDeck = 2;
// The deck comes back well within this; the rest of the take shows it playing on.
constexpr double kTakeSeconds = 6;

} // namespace

Figures deckRestart(LiveSet& set, int runs) {
    double back = 0, otherGap = 0, positionError = 0, skipped = 0;
    runs = std::min(runs, 2 * kMostRunsPerDeck);
    for (int run = 0; run < runs; ++run) {
        const int deck = 1 + run % 2;
        const pid_t pid = deckChild(deck);
        const auto take = set.recordWhile(kTakeSeconds, [&] {
            ::kill(pid, SIGKILL);
            waitForEnd(pid, std::chrono::seconds(5));
        });
        const std::vector<float>& heard = take[std::size_t(deck - 1)];
        const auto gap = live::longestGap(heard);
        const auto offsets = gap ? live::offsetsAround(heard, *gap, set.track(deck)) : std::nullopt;
        if (pid <= 0 || !offsets) {
            std::fprintf(stderr,
                         "live_faults: deck %d did not come back playing its track in the take "
                         "(%zu..%zu)\n",
                         deck, gap ? gap->first : 0, gap ? gap->second : 0);
            return {{"deck_back_ms", -1}};
        }
        const double backMs = 1000.0 * double(gap->second - gap->first) / LiveSet::kRate;
        const double errorMs = 1000.0 * double(offsets->second - offsets->first) / LiveSet::kRate;
        const double otherMs = live::longestGapMs(take[std::size_t(2 - deck)]);
        std::fprintf(stderr,
                     "deck %d: back after %.1f ms, resumed %+.1f ms off, other deck %.1f ms, "
                     "server skipped %.1f ms\n",
                     deck, backMs, errorMs, otherMs, set.lastSkipMs());
        skipped = std::max(skipped, set.lastSkipMs());
        back = std::max(back, backMs);
        positionError = std::max(positionError, std::abs(errorMs));
        otherGap = std::max(otherGap, otherMs);
    }
    return {{"deck_back_ms", back},
            {"other_deck_gap_ms", otherGap},
            {"server_skipped_ms", skipped},
            {"resume_position_error_ms", positionError}};
}
