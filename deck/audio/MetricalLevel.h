#pragma once

#include <vector>

// Which metrical level of a rhythm is its beat. A rhythm repeats at many lags at once: its
// sixteenths, eighths, beats, half bars and bars. The level a listener taps is the one the kick
// and the snare play: the kick repeats on whole beats and bars of it, and neither plays every
// half or third of its beats; the snare, when there is one, lands on two and four.
namespace zen::audio {

// The autocorrelations of the onsets, scaled so lag 0 is 1, with lags in envelope frames: of all
// bands; of the loud rises below 150 Hz (kick and bass) and below 90 Hz (the kick's body); and of
// the noise bursts of a snare or a clap.
struct Periodicities {
    std::vector<double> all, low, kick, snare;
    // The cross-correlations of the onsets of all bands, of the low band and of the harmony's
    // changes with the snare's, lags -n..n at indices 0..2n: what lands how long before and after
    // the snare.
    std::vector<double> allToSnare, lowToSnare, harmonyToSnare;
    double framesPerSecond = 100;
};

// How well a tempo explains the rhythm: its beats divided in two or in three (the triplets of a
// shuffle, the eighths of a compound meter's dotted-quarter beat), whichever fits better.
double metricalScore(const Periodicities& p, double bpm);

// The beat among the tempos the metrical score peaks at (best first) within [minBpm, maxBpm]: a
// waltz's quarter note where the beats make bars of three; else first the family of tempos
// related by 3:2 and 4:3 whose bars the kick repeats in, then the level of that family, double or
// half, that the kick and the snare mark as the beat.
double beatLevel(const Periodicities& p, const std::vector<double>& peaks, double minBpm,
                 double maxBpm);

} // namespace zen::audio
