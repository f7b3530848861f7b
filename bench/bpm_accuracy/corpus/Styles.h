#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Drum-led pieces in a range of dance and band styles, rendered at an exact (non-integer) tempo,
// grouped into the kinds of material the benchmark scores apart.
namespace zen::corpus {

// Common: the 4/4 styles every detector meets. Then the harder kinds: compound meters (the beat a
// dotted quarter of three eighths), triplet-feel grooves, percussion three against the beat,
// tempos above 180, hits played off the grid, and a tempo that wanders as a band's does; 3/4
// waltzes, the simple triple meter a compound reading must leave alone; band music at 92..113
// whose eighths (bass, hats, keys, shaker, guitar) are as busy as its beat; 3/4 rock; and a tempo
// that changes once.
enum class Kind {
    Common,
    Compound,
    TripletFeel,
    Polyrhythm,
    Fast,
    OffGrid,
    Wandering,
    Waltz,
    StraightEighths,
    ThreeFourRock,
    TempoChange
};
inline constexpr int kKindCount = 11;
const char* kindName(Kind kind);

struct TrackPlan {
    int style = 0;
    double bpm = 120;
    double seconds = 90;
    int introBars = 0;      // bars of pads and bass before the drums come in
    bool breakdown = false; // eight bars without drums in the middle
    double swing = 0.5;     // 0.5 straight, 2/3 full triplet swing
    double jitterMs = 0;    // timing spread of a human player
    double noiseDb = -60;   // background noise relative to the drums
    double wander = 0;      // the tempo wanders around bpm by up to this fraction either way
    double laterBpm = 0;    // a tempo change: the tempo from the first bar line after changeSeconds
    double changeSeconds = 0;
    bool mono = false; // written as a one-channel file
    std::uint64_t seed = 1;
};

int styleCount();
std::string styleName(int style);
Kind styleKind(int style);
// A plan for a track of the style at a random tempo in the style's range.
TrackPlan randomPlan(int style, std::uint64_t seed);
std::vector<float> renderTrack(const TrackPlan& plan, int rate);
// What the deck's detection should report for the piece: its mean tempo over the stretch the
// deck analyses (its first 90 s), or where the tempo changes there, the tempo that holds longer;
// doubled below 90 as the deck's call doubles it.
double expectedBpm(const TrackPlan& plan);

} // namespace zen::corpus
