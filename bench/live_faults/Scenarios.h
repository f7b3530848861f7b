#pragma once

#include "LiveSet.h"

#include <string>
#include <utility>
#include <vector>

// A fault struck at a live set, and what the DJ hears of it. A scenario starts with both decks
// of the set playing and leaves them playing; it returns its figures in the order they print.
using Figures = std::vector<std::pair<std::string, double>>;

struct Scenario {
    const char* name;
    Figures (*run)(LiveSet& set, int runs);
};

// kill -9 of a playing deck, deck 1 and deck 2 in turn, `runs` times: deck_back_ms,
// other_deck_gap_ms and resume_position_error_ms, the worst of the runs.
Figures deckRestart(LiveSet& set, int runs);
// kill -9 of the console and a new one started: console_takeover_decks and
// console_takeover_gap_ms.
Figures consoleTakeover(LiveSet& set, int runs);
// kill -9 of the sound server and the server started again, `runs` times:
// decks_alive_after_server_death and server_back_ms; then STOP with the server dead and with it
// hung: quit_dead_server_ms and quit_hung_server_ms.
Figures serverReturn(LiveSet& set, int runs);
