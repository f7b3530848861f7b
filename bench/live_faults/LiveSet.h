#pragma once

#include "ConsoleRun.h"
#include "SoundServers.h"

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

// A live set for the faults to strike: the real console on the display and a JACK server of the
// set's own (44.1 kHz, two outputs; its own, so that a fault may kill it), its two real decks
// playing noise, deck 1 in the left channel and deck 2 in the right, so that a recording of the
// output tells the decks apart and where in its track each one plays.
class LiveSet {
public:
    static constexpr double kRate = 44100;
    static constexpr int kTrackSeconds = 90;

    // Starts the server, the console and both decks and has them play; false and the reason in
    // `error`.
    bool start(QString& error);
    // START, each deck loads its track and plays it; false when both are not heard playing.
    bool startDecks(QString& error);
    // Both decks heard all along over a take of a second and a half.
    bool bothPlaying();
    zen::bench::ConsoleRun& console() { return console_; }
    zen::e2e::JackServer& server() { return server_; }
    // The noise deck 1 or 2 plays.
    const std::vector<float>& track(int deck) const { return tracks_[std::size_t(deck - 1)]; }
    // Records `seconds` of what the decks play (DeckRecorder), `act` running one second in; the
    // left and right channels, empty when it failed.
    std::array<std::vector<float>, 2> recordWhile(double seconds, const std::function<void()>& act);
    // The longest run of frames the server skipped in the last recording, in ms.
    double lastSkipMs() const { return lastSkipMs_; }

private:
    zen::e2e::JackServer server_;
    zen::bench::ConsoleRun console_;
    std::array<std::vector<float>, 2> tracks_;
    double lastSkipMs_ = 0;
};

// What a recording of one channel shows.
namespace live {

// The longest silence in the channel: its first sample and the first that sounds again (the
// channel's size when nothing sounds again); nothing when there is none. A run of silence
// shorter than kShortestGap samples is the noise's own. (A busy machine makes the sound server
// drop a period or a few now and then; a deck that died is silent far longer.)
inline constexpr std::size_t kShortestGap = 16;
std::optional<std::pair<std::size_t, std::size_t>> longestGap(const std::vector<float>& channel);
// Its length in ms; 0 when there is none.
double longestGapMs(const std::vector<float>& channel);
// Where in `track` the stretch of the channel that begins at `at` plays from, less `at`: while
// the deck plays on unbroken at its own speed, the same for every stretch. Nothing when the
// stretch is not found in the track.
std::optional<long> trackOffset(const std::vector<float>& channel, std::size_t at,
                                const std::vector<float>& track);

// Where a deck plays just before a silence in its channel and just after it: a stretch kBeforeGap
// samples before it and one kAfterGap after (past the engine's fade-in). A stretch that a period
// dropped by a busy server cuts through is not found; the next one further away is taken then.
inline constexpr std::size_t kBeforeGap = 8192;
inline constexpr std::size_t kAfterGap = 2205;
inline constexpr std::size_t kNextStretch = 4410;
inline constexpr int kStretches = 6;
// The track offsets there, as trackOffset() gives them; nothing when the channel is too short
// around the gap or the deck does not play its track.
std::optional<std::pair<long, long>> offsetsAround(const std::vector<float>& channel,
                                                   std::pair<std::size_t, std::size_t> gap,
                                                   const std::vector<float>& track);

} // namespace live
