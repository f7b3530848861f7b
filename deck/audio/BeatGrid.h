#pragma once

#include <vector>

// The exact tempo of a beat found in an onset envelope (one value per frame, framesPerSecond
// frames a second): the steady beat grid that lines up best with the onsets, the tempos of its
// stretches, and the mean tempo of a beat that drifts, as a band's does.
namespace zen::audio {

// The tempo within +-1 % of an estimate whose steady beat grid lines up best with the onsets over
// the whole envelope.
double gridTempo(const std::vector<float>& onsets, double framesPerSecond, double estimate);

// A stretch of the envelope, frames [from, to), with the tempo of its own beat grid near the
// whole's and how clearly its onsets line up with that grid (the grid's strength per unit of
// onset).
struct Stretch {
    std::size_t from = 0, to = 0;
    double bpm = 0, clarity = 0;
    // It lines up at least half as clearly as the clearest stretch, and its grid's best lies
    // within the search rather than at its end.
    bool counted = false;
};

// The envelope cut into stretches of about 7.5 s that tile it, each searched on a grid of its own
// within +-3 % of bpm: short enough to follow a band's swings, long enough to hold a dozen beats.
// Fewer than two stretches fit in less than 15 s: then none.
std::vector<Stretch> stretchTempos(const std::vector<float>& onsets, double framesPerSecond,
                                   double bpm);

// The mean tempo of a beat near bpm whose tempo wanders, as a band's does: the tempos of the
// counted stretches averaged over the time they cover (the beats over the time). bpm itself when
// they agree, or when they cover less than half of the frames.
double meanTempo(const std::vector<Stretch>& stretches, std::size_t frames, double bpm);

} // namespace zen::audio
