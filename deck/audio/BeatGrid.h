#pragma once

#include <vector>

// The exact tempo of a beat found in an onset envelope (one value per frame, framesPerSecond
// frames a second): the steady beat grid that lines up best with the onsets, and the mean tempo
// of a beat that drifts, as a band's does.
namespace zen::audio {

// The tempo within +-1 % of an estimate whose steady beat grid lines up best with the onsets over
// the whole envelope.
double gridTempo(const std::vector<float>& onsets, double framesPerSecond, double estimate);

// The mean tempo over the envelope of a beat near bpm whose tempo wanders, as a band's does: the
// tempos of stretches of about 7.5 s, each found on a grid of its own, averaged over the time they
// cover (the beats over the time). bpm itself when the stretches agree, or too few hold a beat.
double meanTempo(const std::vector<float>& onsets, double framesPerSecond, double bpm);

} // namespace zen::audio
