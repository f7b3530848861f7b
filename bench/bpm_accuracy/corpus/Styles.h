#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Drum-led pieces in a range of dance and band styles, rendered at an exact (non-integer) tempo.
namespace zen::corpus {

struct TrackPlan {
    int style = 0;
    double bpm = 120;
    double seconds = 90;
    int introBars = 0;      // bars of pads and bass before the drums come in
    bool breakdown = false; // eight bars without drums in the middle
    double swing = 0.5;     // 0.5 straight, 2/3 full triplet swing
    double jitterMs = 0;    // timing spread of a human player
    double noiseDb = -60;   // background noise relative to the drums
    std::uint64_t seed = 1;
};

int styleCount();
std::string styleName(int style);
// A plan for a track of the style at a random tempo in the style's range.
TrackPlan randomPlan(int style, std::uint64_t seed);
std::vector<float> renderTrack(const TrackPlan& plan, int rate);

} // namespace zen::corpus
