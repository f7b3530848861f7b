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
// Where the deck is heard: a stretch just before it died, and one after it came back (past the
// engine's few milliseconds of fade-in). A stretch that a period dropped by a busy sound server
// cuts through is not found; the next one further away is taken then.
constexpr std::size_t kBeforeGap = 8192;
constexpr std::size_t kAfterGap = 2205;
constexpr std::size_t kNextStretch = 4410;
constexpr int kStretches = 3;

std::optional<long> offsetNear(const std::vector<float>& heard, std::size_t at, long step,
                               const std::vector<float>& track) {
    for (int i = 0; i < kStretches; ++i)
        if (auto offset = live::trackOffset(heard, std::size_t(long(at) + i * step), track))
            return offset;
    return std::nullopt;
}

} // namespace

Figures deckRestart(LiveSet& set, int runs) {
    double back = 0, otherGap = 0, positionError = 0;
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
        const std::size_t reach = kStretches * kNextStretch;
        if (pid <= 0 || !gap || gap->second + kAfterGap + reach + kBeforeGap > heard.size() ||
            gap->first < kBeforeGap + reach) {
            std::fprintf(stderr, "live_faults: deck %d did not come back in the take (%zu..%zu)\n",
                         deck, gap ? gap->first : 0, gap ? gap->second : 0);
            return {{"deck_back_ms", -1}};
        }
        const double backMs = 1000.0 * double(gap->second - gap->first) / LiveSet::kRate;
        const long step = long(kNextStretch);
        const auto before = offsetNear(heard, gap->first - kBeforeGap, -step, set.track(deck));
        const auto after = offsetNear(heard, gap->second + kAfterGap, step, set.track(deck));
        if (!before || !after) {
            std::fprintf(stderr, "live_faults: deck %d does not play its track\n", deck);
            return {{"resume_position_error_ms", -1}};
        }
        const double errorMs = 1000.0 * double(*after - *before) / LiveSet::kRate;
        const double otherMs = live::longestGapMs(take[std::size_t(2 - deck)]);
        std::fprintf(stderr,
                     "deck %d: back after %.1f ms, resumed %+.1f ms off, other deck %.1f ms\n",
                     deck, backMs, errorMs, otherMs);
        back = std::max(back, backMs);
        positionError = std::max(positionError, std::abs(errorMs));
        otherGap = std::max(otherGap, otherMs);
    }
    return {{"deck_back_ms", back},
            {"other_deck_gap_ms", otherGap},
            {"resume_position_error_ms", positionError}};
}
