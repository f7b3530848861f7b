#pragma once

#include <array>
#include <atomic>
#include <thread>
#include <vector>

struct _jack_client;
struct _jack_port;

// What the decks play, recorded by a JACK client of the benchmark's own: deck 1's and deck 2's
// left ports into its left channel, their right ports into its right, as the server's playback
// ports sum them. A deck that joins (a restarted one) is connected within a few milliseconds of
// its activation, and no connection is ever undone: jack_capture, which follows the playback
// ports instead, remakes all its connections whenever one of them changes, and so records three
// periods of silence in every channel at each client that joins or leaves, silence the playback
// ports never had.
class DeckRecorder {
public:
    ~DeckRecorder();
    // Records `seconds` from now on the default server; false when the server refused it.
    bool start(double seconds);
    // Waits for the end of the recording (at most 10 s more than it lasts) and returns it; empty
    // when it did not end.
    std::array<std::vector<float>, 2> finish();
    // The longest run of frames the server skipped, running no client for them (its cycles ran
    // late): silence at the playback ports that the recording cannot hold. Valid after finish().
    std::size_t longestSkip() const { return longestSkip_.load(); }

private:
    static int record(unsigned frames, void* self);
    // Connects every deck port to its side's channel; a port already connected stays as it is.
    void connectDecks();
    void close();

    _jack_client* client_ = nullptr;
    std::array<_jack_port*, 2> ports_{};
    std::array<std::vector<float>, 2> channels_;
    std::atomic<std::size_t> recorded_{0};
    std::atomic<bool> armed_{false};
    unsigned lastCycle_ = 0; // the frame time of the last cycle recorded, and its frames
    unsigned lastFrames_ = 0;
    std::atomic<std::size_t> longestSkip_{0};
    std::atomic<bool> following_{false};
    std::thread follower_;
    double seconds_ = 0;
};
