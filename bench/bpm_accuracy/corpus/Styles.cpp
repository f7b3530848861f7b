#include "Styles.h"

#include "Synth.h"
#include "TempoCurve.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace zen::corpus {

namespace {

using Patterns = std::vector<std::string>;

// A percussion part that repeats on a cycle of its own across the bar lines: one character a step
// of stepBeats beats.
struct Cycle {
    const char* hits;
    double stepBeats;
};

// One bar per pattern, stepsPerBeat steps to the beat (sixteenths unless a style says otherwise):
// 'X' accent, 'x' normal, 'o' ghost, '.' rest. Each track picks one variant per instrument; the
// empty pattern leaves the instrument out. The fields after the patterns keep their defaults in
// the common styles.
struct StyleDef {
    const char* name;
    double lo, hi;           // tempo range (of the beat: a dotted quarter in compound meters)
    double swingLo, swingHi; // swing of the off sixteenths (or eighths with eighthSwing)
    bool eighthSwing;
    double jitterLo, jitterHi; // a player's timing spread in ms
    Patterns kick, snare, clap, hat, openHat, rim, bass, stab;
    Kind kind = Kind::Common;
    int beatsPerBar = 4;
    int stepsPerBeat = 4;
    std::vector<Cycle> percussion = {}; // one picked per track, or none when empty
    // Every hit lands jitterLo..jitterHi ms early or late rather than anywhere within jitterHi.
    bool offGrid = false;
    double wanderLo = 0, wanderHi = 0; // how far the tempo wanders either way, a fraction
    // Parts only some styles play, drawn only where a style has them so that the other styles'
    // tracks stay as they were: a shaker, struck chords (keys), a guitar.
    Patterns shaker = {}, keys = {}, guitar = {};
    // The mix varies from track to track: hats from quiet to louder than the snare, a plucked or
    // a held bass, a room, a bus compressor.
    bool mixed = false;
    bool mono = false; // an old mono recording: one channel, its top rolled off
    // A tempo change: the later tempo as a share of the first, drawn between these (up or down
    // when bothWays), at an eight-bar breakdown when atBreakdown.
    double laterLo = 0, laterHi = 0;
    bool bothWays = false, atBreakdown = false;
};

// The wandering kind: a played style whose tempo drifts and swings by 1 to 2 % either way.
StyleDef drifting(StyleDef def, const char* name) {
    def.name = name;
    def.kind = Kind::Wandering;
    def.wanderLo = 0.01;
    def.wanderHi = 0.02;
    return def;
}

std::vector<StyleDef> makeStyles() {
    // One style per block reads as a table.
    // clang-format off
    std::vector<StyleDef> defs = {
        {"house", 118, 130, 0.5, 0.58, false, 0, 1,
         {"X...X...X...X..."},
         {""},
         {"....x.......x...", "....x.......x..o"},
         {"xoxoxoxoxoxoxoxo", "o.o.o.o.o.o.o.o.", "..x...x...x...x."},
         {"..x...x...x...x.", ""},
         {"", "...x......x....."},
         {"..x...x...x...x.", "x..x..x...x..x..", "..xx..x...xx..x."},
         {"", "...x.....x......", "..x.......x....."}},
        {"techno", 124, 145, 0.5, 0.5, false, 0, 0.5,
         {"X...X...X...X...", "X...X...X...X..x"},
         {""},
         {"", "....x.......x..."},
         {"xxxxxxxxxxxxxxxx", "..x...x...x...x.", "x.x.x.x.x.x.x.x."},
         {"..x...x...x...x.", ""},
         {"...x..x....x.x..", "..x..x..x.....x.", ""},
         {".xxx.xxx.xxx.xxx", "..x...x...x...x."},
         {"", "x.....x.....x..."}},
        {"breakbeat", 118, 140, 0.5, 0.55, false, 1, 4,
         {"X.........x.....", "X.x.......x.....", "X......x..x....."},
         {"....X..o.o..X..o", "....X.......X...", "....X..o....X.o."},
         {""},
         {"x.x.x.x.x.x.x.x.", "xoxoxoxoxoxoxoxo"},
         {"", "......x.........", "..............x."},
         {""},
         {"x.....x...x.....", "x..x......x.x..."},
         {"", "x.........x....."}},
        {"hiphop", 78, 100, 0.54, 0.66, false, 3, 9,
         {"X.....x...x.....", "X..x......x..x..", "X......xx.x....."},
         {"....X.......X...", "....X.......X..o"},
         {""},
         {"xoxoxoxoxoxoxoxo", "x.x.x.x.x.x.x.x.", "xxoxxxoxxxoxxxox"},
         {"", "..............x."},
         {""},
         {"x.....x...x.....", "x..x......x....."},
         {"", "x.......x......."}},
        {"drum and bass", 160, 180, 0.5, 0.53, false, 0, 2,
         {"X.........x.....", "X.........x..x..", "X.x.......x....."},
         {"....X.......X...", "....X..o....X..o", "....X.......X.o."},
         {""},
         {"x.x.x.x.x.x.x.x.", "xoxoxoxoxoxoxoxo", "..x...x...x...x."},
         {"", "..x...x...x...x."},
         {""},
         {"x.......x.......", "x.........x....."},
         {""}},
        {"one drop", 68, 90, 0.58, 0.67, true, 2, 8,
         {"........X......."},
         {""},
         {""},
         {"x.x.x.x.x.x.x.x.", "x.x.x.x.x.x.x.x.", "x...x...x...x..."},
         {"", "......x........."},
         {"........X.......", "......o.X......."},
         {"x.....x.x...x...", "x...x.....x.x..."},
         {"....x.......x...", "..x...x...x...x."}},
        {"half-time", 130, 155, 0.5, 0.56, false, 0, 2,
         {"X.....x...x.....", "X.........x..x..", "X......x.x......"},
         {"........X......."},
         {"........x.......", ""},
         {"x.x.x.x.x.x.x.x.", "xxxxxxxxxxxxxxxx", "x.xxx.x.x.xxx.x."},
         {""},
         {""},
         {"x.........x.....", "x..............."},
         {""}},
        {"rock", 95, 165, 0.5, 0.5, false, 4, 10,
         {"X.......X.......", "X.......X.x.....", "X..x....X......."},
         {"....X.......X...", "....X.......X..o"},
         {""},
         {"x.x.x.x.x.x.x.x.", "X.x.X.x.X.x.X.x."},
         {""},
         {""},
         {"x.x.x.x.x.x.x.x.", "x.......x.x.x.x."},
         {"x.x.x.x.x.x.x.x.", "x.......x.......", ""}},
        {"garage", 128, 138, 0.6, 0.67, false, 0, 2,
         {"X.........x.....", "X......x..x.....", "X.........x..x.."},
         {"....X.......X..."},
         {"....x.......x...", ""},
         {"xoxoxoxoxoxoxoxo", "..x...x...x...x."},
         {"", "..x...........x."},
         {"", "...x.....x......"},
         {"x..x..x...x.x...", "x.....x..x......"},
         {"", "..x.....x..x...."}},
        {"funk", 98, 125, 0.5, 0.57, false, 2, 6,
         {"X...X...X...X...", "X..x..x.x.......", "X.....x...x..x.."},
         {"....X.......X...", "....X..o.o..X..o"},
         {""},
         {"xoxoxoxoxoxoxoxo", "x.x.x.x.x.x.x.x."},
         {"..x...x...x...x.", ""},
         {""},
         {"x..x..x.x..x.x..", "x.xx..x...x.x.x."},
         {"...x..x....x..x.", ""}},
        {"dembow", 86, 100, 0.5, 0.54, false, 0, 2,
         {"X...X...X...X..."},
         {"...x..x....x..x.", "...x..x....x..xx"},
         {""},
         {"x.x.x.x.x.x.x.x.", "xoxoxoxoxoxoxoxo"},
         {""},
         {"", "..x...x...x...x."},
         {"x..x..x.x..x..x.", "x.....x.x.....x."},
         {"", "...x..x....x..x."}},
        {"shuffle", 92, 130, 0.62, 0.67, true, 3, 8,
         {"X.......X.......", "X.......X.x....."},
         {"....X.......X...", "....X.....o.X..."},
         {""},
         {"x.x.x.x.x.x.x.x.", "X.x.X.x.X.x.X.x."},
         {""},
         {""},
         {"x.x.x.x.x.x.x.x.", "x...x...x...x..."},
         {"", "..x...x...x...x."}},
        // Compound meters: six or twelve eighths to the bar, three to the beat, in sixteenths.
        {.name = "six-eight", .lo = 46, .hi = 100, .swingLo = 0.5, .swingHi = 0.5,
         .eighthSwing = false, .jitterLo = 0, .jitterHi = 3,
         .kick = {"X...........", "X.......x...", "X.........x."},
         .snare = {"......X.....", "......X...o."},
         .clap = {""},
         .hat = {"x.x.x.x.x.x.", "xoxoxoxoxoxo", "X.x.x.X.x.x."},
         .openHat = {""},
         .rim = {"", "..x.x...x.x."},
         .bass = {"x.....x.....", "x...x.x.....", "x.........x."},
         .stab = {"x.x.x.x.x.x.", "X.x.x.X.x.x.", ""},
         .kind = Kind::Compound, .beatsPerBar = 2, .stepsPerBeat = 6},
        {.name = "twelve-eight", .lo = 55, .hi = 125, .swingLo = 0.5, .swingHi = 0.5,
         .eighthSwing = false, .jitterLo = 1, .jitterHi = 3,
         .kick = {"X.....x.....X.....x.....", "X...........X.....x.....", "X.....X.....X.....X....."},
         .snare = {"......X...........X.....", "......X.........o.X.....", ""},
         .clap = {""},
         .hat = {"x.x.x.x.x.x.x.x.x.x.x.x.", "x.xxx.x.xxx.x.xxx.x.xxx."},
         .openHat = {""},
         .rim = {"x...x...x.x...x...x...x.", "x...x...x.x...x...x...x.", ""},
         .bass = {"x.....x...x.x.....x.....", "x...........x.....x....."},
         .stab = {"", "..x.x...x.x...x.x...x.x."},
         .kind = Kind::Compound, .beatsPerBar = 4, .stepsPerBeat = 6},
        // Slow grooves whose beat is the quarter note and whose subdivision is the triplet.
        {.name = "triplet downtempo", .lo = 60, .hi = 88, .swingLo = 0.5, .swingHi = 0.5,
         .eighthSwing = false, .jitterLo = 0, .jitterHi = 3,
         .kick = {"X.........x.............", "X...........x...x.......", "X.......x...X..........."},
         .snare = {"......X...........X.....", "......X...........X...o."},
         .clap = {""},
         .hat = {"x.x.x.x.x.x.x.x.x.x.x.x.", "x...x.x...x.x...x.x...x."},
         .openHat = {"", "....x...........x......."},
         .rim = {""},
         .bass = {"x...........x...x.......", "x.........x.x..........."},
         .stab = {"", "......x...........x....."},
         .kind = Kind::TripletFeel, .beatsPerBar = 4, .stepsPerBeat = 6},
        {.name = "triplet trap", .lo = 60, .hi = 80, .swingLo = 0.5, .swingHi = 0.5,
         .eighthSwing = false, .jitterLo = 0, .jitterHi = 1,
         .kick = {"X.....................x.", "X.........x.....x......."},
         .snare = {""},
         .clap = {"......X...........X....."},
         .hat = {"xxxxxxxxxxxxxxxxxxxxxxxx", "x.x.x.x.x.x.xxxxxxx.x.x.", "x.x.x.xxxxxxx.x.x.x.x.x."},
         .openHat = {""},
         .rim = {""},
         .bass = {"x.....................x.", "x.........x............."},
         .stab = {""},
         .kind = Kind::TripletFeel, .beatsPerBar = 4, .stepsPerBeat = 6},
        // Hand percussion three against the beat that kick and snare play: every dotted eighth,
        // or in quarter- or half-note triplets.
        {.name = "poly house", .lo = 118, .hi = 132, .swingLo = 0.5, .swingHi = 0.54,
         .eighthSwing = false, .jitterLo = 0, .jitterHi = 1,
         .kick = {"X...X...X...X..."},
         .snare = {""},
         .clap = {"....x.......x...", ""},
         .hat = {"..x...x...x...x.", "xoxoxoxoxoxoxoxo"},
         .openHat = {""},
         .rim = {""},
         .bass = {"..x...x...x...x.", "x..x..x..x..x...", "x..x..x...x..x.."},
         .stab = {""},
         .kind = Kind::Polyrhythm,
         .percussion = {{"x", 0.75}, {"Xxx", 0.75}, {"Xoo", 0.25}, {"x", 2.0 / 3}, {"Xx", 4.0 / 3}}},
        {.name = "poly backbeat", .lo = 92, .hi = 140, .swingLo = 0.5, .swingHi = 0.5,
         .eighthSwing = false, .jitterLo = 1, .jitterHi = 3,
         .kick = {"X.......X.......", "X.........x.....", "X......x..x....."},
         .snare = {"....X.......X...", "....X.......X..o"},
         .clap = {""},
         .hat = {"x.x.x.x.x.x.x.x.", ""},
         .openHat = {""},
         .rim = {""},
         .bass = {"x.....x...x.....", "x..x..x..x..x...", "x..x......x....."},
         .stab = {"", "..x.......x....."},
         .kind = Kind::Polyrhythm,
         .percussion = {{"x", 0.75}, {"Xxx", 0.75}, {"x", 2.0 / 3}, {"Xxx", 2.0 / 3}, {"x", 4.0 / 3}}},
        // Above 180: the snare on 2 and 4 of the fast count, or the kick on every beat.
        {"fast drum and bass", 180, 228, 0.5, 0.52, false, 0, 2,
         {"X.........x.....", "X.........x..x..", "X.x.......x....."},
         {"....X.......X...", "....X..o....X..o"},
         {""},
         {"x.x.x.x.x.x.x.x.", "xoxoxoxoxoxoxoxo", "..x...x...x...x."},
         {"", "..x...x...x...x."},
         {""},
         {"x.......x.......", "x.........x....."},
         {""},
         Kind::Fast},
        {"hardcore", 180, 228, 0.5, 0.5, false, 0, 1,
         {"X...X...X...X...", "X...X...X...X.x."},
         {""},
         {"", "....x.......x..."},
         {"..x...x...x...x.", "x.x.x.x.x.x.x.x.", ""},
         {"", "..x...x...x...x."},
         {""},
         {"..x...x...x...x.", ""},
         {"", "x.......x......."},
         Kind::Fast},
        // Played by a band: every hit 5 to 15 ms off the grid.
        {.name = "band", .lo = 86, .hi = 150, .swingLo = 0.5, .swingHi = 0.5,
         .eighthSwing = false, .jitterLo = 5, .jitterHi = 15,
         .kick = {"X.......X.......", "X.......X.x.....", "X..x....X......."},
         .snare = {"....X.......X...", "....X.......X..o"},
         .clap = {""},
         .hat = {"x.x.x.x.x.x.x.x.", "X.x.X.x.X.x.X.x."},
         .openHat = {""},
         .rim = {""},
         .bass = {"x.x.x.x.x.x.x.x.", "x.......x.x.x.x."},
         .stab = {"x.x.x.x.x.x.x.x.", "x.......x.......", ""},
         .kind = Kind::OffGrid, .offGrid = true},
        {.name = "soul", .lo = 86, .hi = 125, .swingLo = 0.5, .swingHi = 0.56,
         .eighthSwing = false, .jitterLo = 5, .jitterHi = 15,
         .kick = {"X..x..x.x.......", "X.....x...x..x..", "X.........x....."},
         .snare = {"....X.......X...", "....X..o.o..X..o"},
         .clap = {""},
         .hat = {"xoxoxoxoxoxoxoxo", "x.x.x.x.x.x.x.x."},
         .openHat = {"", "..............x."},
         .rim = {""},
         .bass = {"x..x..x.x..x.x..", "x.xx..x...x.x.x."},
         .stab = {"...x..x....x..x.", ""},
         .kind = Kind::OffGrid, .offGrid = true},
    };
    // clang-format on
    const std::size_t soul = defs.size() - 1, band = soul - 1;
    defs.push_back(drifting(defs[band], "band drift"));
    defs.push_back(drifting(defs[soul], "soul drift"));
    // clang-format off
    // The quarter note is the beat: bass on one, chords on two and three.
    defs.push_back({.name = "waltz", .lo = 84, .hi = 190, .swingLo = 0.5, .swingHi = 0.5,
                    .eighthSwing = false, .jitterLo = 0, .jitterHi = 3,
                    .kick = {"X...........", "X.......x..."},
                    .snare = {"", "....x...x..."},
                    .clap = {""},
                    .hat = {"x.x.x.x.x.x.", "x...x...x...", ""},
                    .openHat = {""},
                    .rim = {"", "....x...x..."},
                    .bass = {"x...........", "x.......x..."},
                    .stab = {"....x...x...", "....x.x.x.x."},
                    .kind = Kind::Waltz, .beatsPerBar = 3});
    // Band music at 92..113 whose eighths (bass, hats, keys, shaker, guitar) are as busy as the
    // beat, which the snare on two and four marks; and a 6/8 song felt in two.
    defs.push_back({.name = "rock eighths", .lo = 92, .hi = 113, .swingLo = 0.5, .swingHi = 0.5,
                    .eighthSwing = false, .jitterLo = 2, .jitterHi = 6,
                    .kick = {"X.......X.......", "X.......X.x.....", "X.x.....X.......", "X......xX......."},
                    .snare = {"....X.......X...", "....X.......X..o"},
                    .clap = {""},
                    .hat = {"x.x.x.x.x.x.x.x.", "X.x.X.x.X.x.X.x.", "xxxxxxxxxxxxxxxx", ""},
                    .openHat = {"", "x.x.x.x.x.x.x.x."},
                    .rim = {""},
                    .bass = {"x.x.x.x.x.x.x.x."},
                    .stab = {""},
                    .kind = Kind::StraightEighths,
                    .guitar = {"x.x.x.x.x.x.x.x.", ""},
                    .mixed = true});
    defs.push_back({.name = "pop keys", .lo = 92, .hi = 113, .swingLo = 0.5, .swingHi = 0.5,
                    .eighthSwing = false, .jitterLo = 0, .jitterHi = 2,
                    .kick = {"X.......X.......", "X..x....X.......", "X.......X.x....."},
                    .snare = {"....X.......X..."},
                    .clap = {"", "....x.......x..."},
                    .hat = {"x.x.x.x.x.x.x.x.", "..x...x...x...x.", ""},
                    .openHat = {""},
                    .rim = {""},
                    .bass = {"x.......x.......", "x.x.x.x.x.x.x.x.", "x..x..x.x..x..x."},
                    .stab = {""},
                    .kind = Kind::StraightEighths,
                    .keys = {"x.x.x.x.x.x.x.x.", "xxxxxxxxxxxxxxxx", "x.xx.xx.x.xx.xx.", "X.x.X.x.X.x.X.x."},
                    .mixed = true});
    defs.push_back({.name = "shaker groove", .lo = 92, .hi = 113, .swingLo = 0.5, .swingHi = 0.56,
                    .eighthSwing = false, .jitterLo = 1, .jitterHi = 3,
                    .kick = {"X.......X.......", "X......x..x.....", "X.....x...x....."},
                    .snare = {"....X.......X...", "....X..o....X..."},
                    .clap = {""},
                    .hat = {""},
                    .openHat = {""},
                    .rim = {""},
                    .bass = {"x.....x...x.....", "x.x.x.x.x.x.x.x."},
                    .stab = {"", "..x...x...x...x."},
                    .kind = Kind::StraightEighths,
                    .shaker = {"xxxxxxxxxxxxxxxx", "x.x.x.x.x.x.x.x.", "x.X.x.X.x.X.x.X.", "XxxxXxxxXxxxXxxx"},
                    .mixed = true});
    defs.push_back({.name = "six-eight pop", .lo = 46, .hi = 75, .swingLo = 0.5, .swingHi = 0.5,
                    .eighthSwing = false, .jitterLo = 1, .jitterHi = 3,
                    .kick = {"X...........", "X.........x.", "X.......x..."},
                    .snare = {"......X.....", "......X...o."},
                    .clap = {""},
                    .hat = {"x.x.x.x.x.x.", "", "X.x.x.X.x.x."},
                    .openHat = {""},
                    .rim = {""},
                    .bass = {"x.....x.....", "x...........", "x...x.x....."},
                    .stab = {""},
                    .kind = Kind::StraightEighths, .beatsPerBar = 2, .stepsPerBeat = 6,
                    .keys = {"x.x.x.x.x.x.", "X.x.x.X.x.x."},
                    .guitar = {"", "x.x.x.x.x.x."},
                    .mixed = true});
    defs.push_back({.name = "rock drummer", .lo = 90, .hi = 104, .swingLo = 0.5, .swingHi = 0.5,
                    .eighthSwing = false, .jitterLo = 5, .jitterHi = 12,
                    .kick = {"X.......X.......", "X.......X.x.....", "X..x....X.......", "X.......Xx......"},
                    .snare = {"....X.......X...", "....X..o....X..o", "..o.X..o..o.X..."},
                    .clap = {""},
                    .hat = {"x.x.x.x.x.x.x.x.", "X.x.X.x.X.x.X.x.", "XxXxXxXxXxXxXxXx"},
                    .openHat = {"", "..............x."},
                    .rim = {""},
                    .bass = {"x.x.x.x.x.x.x.x.", "x.......x.x.x.x."},
                    .stab = {""},
                    .kind = Kind::StraightEighths,
                    .guitar = {"x.x.x.x.x.x.x.x.", ""},
                    .mixed = true});
    defs.push_back({.name = "mono rock", .lo = 92, .hi = 113, .swingLo = 0.5, .swingHi = 0.5,
                    .eighthSwing = false, .jitterLo = 2, .jitterHi = 8,
                    .kick = {"X.......X.......", "X.......X.x....."},
                    .snare = {"....X.......X..."},
                    .clap = {""},
                    .hat = {"x.x.x.x.x.x.x.x.", "X.x.X.x.X.x.X.x."},
                    .openHat = {""},
                    .rim = {""},
                    .bass = {"x.x.x.x.x.x.x.x.", "x.......x......."},
                    .stab = {"", "..x...x...x...x."},
                    .kind = Kind::StraightEighths,
                    .guitar = {"x.x.x.x.x.x.x.x.", "xxxxxxxxxxxxxxxx"},
                    .mixed = true, .mono = true});
    // Rock and pop in 3/4: the quarter note is the beat, the snare on three or on two and three.
    defs.push_back({.name = "rock in three", .lo = 96, .hi = 124, .swingLo = 0.5, .swingHi = 0.5,
                    .eighthSwing = false, .jitterLo = 2, .jitterHi = 8,
                    .kick = {"X...........", "X.....x.....", "X.......x...", "X..x........"},
                    .snare = {"........X...", "....X...X..."},
                    .clap = {""},
                    .hat = {"x.x.x.x.x.x.", "X.x.X.x.X.x.", "xxxxxxxxxxxx"},
                    .openHat = {"", "x.x.x.x.x.x."},
                    .rim = {""},
                    .bass = {"x.x.x.x.x.x.", "x.......x...", "x...x...x..."},
                    .stab = {""},
                    .kind = Kind::ThreeFourRock, .beatsPerBar = 3,
                    .guitar = {"x.x.x.x.x.x.", "", "x...x...x..."},
                    .mixed = true});
    defs.push_back({.name = "pop in three", .lo = 90, .hi = 130, .swingLo = 0.5, .swingHi = 0.5,
                    .eighthSwing = false, .jitterLo = 0, .jitterHi = 3,
                    .kick = {"X...........", "X.....x.....", "X......x...."},
                    .snare = {"........X...", "....x...X..."},
                    .clap = {"", "........x..."},
                    .hat = {"", "x.x.x.x.x.x."},
                    .openHat = {""},
                    .rim = {""},
                    .bass = {"x...........", "x.......x...", "x.x.x.x.x.x."},
                    .stab = {""},
                    .kind = Kind::ThreeFourRock, .beatsPerBar = 3,
                    .shaker = {"", "xxxxxxxxxxxx", "x.x.x.x.x.x."},
                    .keys = {"x.x.x.x.x.x.", "x...x...x...", "xxxxxxxxxxxx"},
                    .mixed = true});
    // clang-format on
    // A tempo that changes once: a DJ's edit pushed a few percent after a minute or so, a band
    // changing tempo between sections, drum and bass falling to 140 at a breakdown.
    StyleDef houseChange = defs[0];
    houseChange.name = "house change";
    houseChange.kind = Kind::TempoChange;
    houseChange.laterLo = 1.02;
    houseChange.laterHi = 1.05;
    houseChange.bothWays = true;
    defs.push_back(houseChange);
    StyleDef bandChange = defs[7]; // rock
    bandChange.name = "band change";
    bandChange.kind = Kind::TempoChange;
    bandChange.lo = 95;
    bandChange.hi = 125;
    bandChange.laterLo = 1.15;
    bandChange.laterHi = 1.35;
    bandChange.bothWays = true;
    bandChange.mixed = true;
    defs.push_back(bandChange);
    StyleDef drumAndBassChange = defs[4]; // drum and bass
    drumAndBassChange.name = "drum and bass change";
    drumAndBassChange.kind = Kind::TempoChange;
    drumAndBassChange.lo = 170;
    drumAndBassChange.hi = 178;
    drumAndBassChange.laterLo = 0.78;
    drumAndBassChange.laterHi = 0.83;
    drumAndBassChange.atBreakdown = true;
    defs.push_back(drumAndBassChange);
    return defs;
}

const std::vector<StyleDef>& styles() {
    static const std::vector<StyleDef> defs = makeStyles();
    return defs;
}

float velocity(char c) {
    return c == 'X' ? 1.0f : c == 'x' ? 0.7f : c == 'o' ? 0.3f : 0.0f;
}

} // namespace

int styleCount() {
    return static_cast<int>(styles().size());
}

std::string styleName(int style) {
    return styles()[static_cast<std::size_t>(style)].name;
}

Kind styleKind(int style) {
    return styles()[static_cast<std::size_t>(style)].kind;
}

const char* kindName(Kind kind) {
    static const char* const names[kKindCount] = {
        "common",    "compound", "triplet feel",     "polyrhythm",      "fast",        "off grid",
        "wandering", "waltz",    "straight eighths", "three-four rock", "tempo change"};
    return names[static_cast<int>(kind)];
}

TrackPlan randomPlan(int style, std::uint64_t seed) {
    const StyleDef& def = styles()[static_cast<std::size_t>(style)];
    Rng rng(seed);
    TrackPlan plan;
    plan.style = style;
    plan.seed = seed;
    plan.bpm = std::round(rng.uniform(def.lo, def.hi) * 1000) / 1000;
    plan.seconds = rng.chance(0.2) ? rng.uniform(40, 80) : rng.uniform(90, 110);
    const int intros[] = {0, 0, 2, 4, 8, 16};
    plan.introBars = intros[rng.pick(6)];
    plan.breakdown = rng.chance(0.4);
    plan.swing = rng.uniform(def.swingLo, def.swingHi);
    plan.jitterMs = rng.uniform(def.jitterLo, def.jitterHi);
    plan.noiseDb = rng.uniform(-50, -18);
    if (def.wanderHi > 0) {
        plan.wander = rng.uniform(def.wanderLo, def.wanderHi);
        // The band plays from the start and throughout, so its beats span what the deck analyses
        // and their mean tempo is the answer.
        plan.introBars = std::min(plan.introBars, 2);
        plan.breakdown = false;
    }
    plan.mono = def.mono;
    if (def.laterHi > 0) {
        // The change lands within what the deck analyses, and one tempo holds at least a quarter
        // of it longer than the other, so which holds longer is never in doubt.
        plan.seconds = rng.uniform(90, 110);
        plan.introBars = std::min(plan.introBars, 4);
        const double span = 90;
        const double share = rng.uniform(0.25, 0.375);
        plan.changeSeconds = span * (rng.chance(0.5) ? share : 1 - share);
        const double ratio = rng.uniform(def.laterLo, def.laterHi);
        plan.laterBpm = plan.bpm * (def.bothWays && rng.chance(0.5) ? 1 / ratio : ratio);
        plan.laterBpm = std::round(plan.laterBpm * 1000) / 1000;
        plan.breakdown = plan.breakdown || def.atBreakdown;
    }
    return plan;
}

namespace {

constexpr double kAnalysedSeconds = 90; // the stretch the deck's load analyses

// The wandering tempo of a plan; its shape depends only on the seed.
TempoCurve curveOf(const TrackPlan& plan, double offset) {
    return TempoCurve(plan.bpm, plan.wander, offset, plan.seconds, plan.seed * 31 + 7);
}

} // namespace

double expectedBpm(const TrackPlan& plan) {
    const double span = std::min(kAnalysedSeconds, plan.seconds);
    double bpm = plan.wander > 0 ? curveOf(plan, 0).meanBpm(0, span) : plan.bpm;
    if (plan.laterBpm > 0 && plan.changeSeconds < span - plan.changeSeconds) bpm = plan.laterBpm;
    return bpm < 90 ? bpm * 2 : bpm;
}

std::vector<float> renderTrack(const TrackPlan& plan, int rate) {
    const StyleDef& def = styles()[static_cast<std::size_t>(plan.style)];
    Rng rng(plan.seed * 7919 + 17);
    Mix mix(rate, plan.seconds, plan.seed);
    Kit kit = Kit::random(rng);
    auto choose = [&](const Patterns& p) {
        return p[static_cast<std::size_t>(rng.pick(static_cast<int>(p.size())))];
    };
    const std::string kick = choose(def.kick), snare = choose(def.snare), clap = choose(def.clap),
                      hat = choose(def.hat), openHat = choose(def.openHat), rim = choose(def.rim),
                      bass = choose(def.bass), stab = choose(def.stab);

    const double beat = 60.0 / plan.bpm;
    const int steps = def.beatsPerBar * def.stepsPerBeat;
    const double stepLength = beat / def.stepsPerBeat;
    const double bar = beat * def.beatsPerBar;
    const double offset = rng.uniform(0, 0.5); // the first downbeat is not at time zero
    // A wandering tempo is never slower than (1 - wander) times its base.
    // A tempo that changes to a faster one holds more bars.
    const int bars = static_cast<int>((plan.seconds - offset) / bar * (1 + plan.wander) *
                                      std::max(1.0, plan.laterBpm / plan.bpm)) +
                     1;
    int breakStart = plan.introBars + 8 + rng.pick(8);
    std::optional<TempoCurve> curve =
        plan.wander > 0 ? std::optional(curveOf(plan, offset)) : std::nullopt;
    if (plan.laterBpm > 0) {
        // The change comes on the first bar line from its time, at a breakdown if the style has
        // one there.
        const int changeBar = static_cast<int>(std::ceil((plan.changeSeconds - offset) / bar));
        curve = TempoCurve::stepped(plan.bpm, plan.laterBpm, offset + changeBar * bar, offset,
                                    plan.seconds);
        if (def.atBreakdown) breakStart = changeBar;
    }

    // A player's timing: anywhere within the spread, or (off the grid) always 5 to 15 ms away.
    auto human = [&] {
        if (!def.offGrid) return rng.uniform(-1, 1) * plan.jitterMs / 1000;
        return (rng.chance(0.5) ? 1 : -1) * rng.uniform(def.jitterLo, def.jitterHi) / 1000;
    };
    // Time of a step within a bar, with swing and a human's timing.
    auto at = [&](int barIndex, int step) {
        double shift = 0;
        if (def.eighthSwing) {
            if (step % 4 == 2) shift = (2 * plan.swing - 1) * 2;
        } else if (step % 2 == 1) {
            shift = 2 * plan.swing - 1;
        }
        double t = offset + barIndex * bar + step * stepLength;
        if (curve)
            t = curve->timeOf(barIndex * def.beatsPerBar + (step + shift) / def.stepsPerBeat);
        else if (shift != 0)
            t += shift * stepLength;
        return t + human();
    };
    auto gain = [&](char c) { return velocity(c) * static_cast<float>(rng.uniform(0.85, 1.0)); };
    // A minor-key progression, one chord per bar or two.
    const int key = 36 + rng.pick(12);
    const int degrees[][3] = {{0, 3, 7}, {-4, 0, 3}, {3, 7, 10}, {-2, 2, 5}, {5, 8, 12}};
    std::vector<int> progression;
    for (int i = 0; i < 4; ++i)
        progression.push_back(rng.pick(5));
    const int chordBars = rng.chance(0.5) ? 1 : 2;
    const double bassCutoff = rng.uniform(200, 900);
    const float padGain = static_cast<float>(rng.uniform(0.1, 0.5));
    const float bassGain = static_cast<float>(rng.uniform(0.3, 0.7));
    const float drumGain = static_cast<float>(rng.uniform(0.6, 1.0));
    // The parts and the mix that only some styles have, drawn only in those.
    auto chooseIfAny = [&](const Patterns& p) { return p.empty() ? std::string() : choose(p); };
    const std::string shaker = chooseIfAny(def.shaker), keys = chooseIfAny(def.keys),
                      guitar = chooseIfAny(def.guitar);
    float hatLevel = 1, shakerLevel = 1, keysLevel = 1, guitarLevel = 1, roomWet = 0;
    double shakerAttack = 0.01, threshold = 0, ratio = 1, top = 0;
    bool plucked = false;
    int bassOctave = 0;
    if (def.mixed) {
        hatLevel = static_cast<float>(rng.uniform(0.5, 2));
        shakerLevel = static_cast<float>(rng.uniform(0.5, 1.2));
        keysLevel = static_cast<float>(rng.uniform(0.3, 0.9));
        guitarLevel = static_cast<float>(rng.uniform(0.3, 1.0));
        kit.cutoff = rng.uniform(2500, 7000); // hats and cymbals from dark to bright
        shakerAttack = rng.uniform(0.005, 0.015);
        plucked = rng.chance(0.5);
        bassOctave = rng.chance(0.6) ? -12 : 0; // a bass guitar's low strings, under the kick
        roomWet = rng.chance(0.6) ? static_cast<float>(rng.uniform(0.05, 0.35)) : 0.0f;
        if (rng.chance(0.5)) {
            threshold = rng.uniform(-20, -8);
            ratio = rng.uniform(2, 6);
        }
    }
    if (def.mono) top = rng.uniform(3500, 8000);

    auto drumsIn = [&](int b) {
        return b >= plan.introBars && !(plan.breakdown && b >= breakStart && b < breakStart + 8);
    };
    for (int b = 0; b < bars; ++b) {
        const int* chord = degrees[progression[static_cast<std::size_t>((b / chordBars) % 4)]];
        const std::vector<int> notes = {key + 24 + chord[0], key + 24 + chord[1],
                                        key + 24 + chord[2]};
        if (b % chordBars == 0) mix.pad(at(b, 0), bar * chordBars, notes, padGain);
        const bool drums = drumsIn(b);
        const bool fill = def.jitterHi >= 4 && b % 8 == 7;
        for (int s = 0; s < steps; ++s) {
            // The steps until the part's next note, at most a beat.
            auto held = [&](const std::string& part) {
                int len = 1;
                while (s + len < steps && part[s + len] == '.')
                    ++len;
                return std::min(len, def.stepsPerBeat) * stepLength * 0.9;
            };
            const bool band = drums || b >= plan.introBars / 2;
            if (!bass.empty() && bass[s] != '.' && band)
                mix.bass(at(b, s), held(bass), key + bassOctave + chord[0], bassGain, bassCutoff,
                         plucked);
            if (!keys.empty() && keys[s] != '.' && band)
                mix.keys(at(b, s), notes, keysLevel * gain(keys[s]));
            if (!guitar.empty() && guitar[s] != '.' && band)
                mix.guitar(at(b, s), held(guitar), key + 12 + chord[0],
                           guitarLevel * gain(guitar[s]));
            if (!drums) continue;
            if (!shaker.empty() && shaker[s] != '.')
                mix.shaker(at(b, s), drumGain * 0.5f * shakerLevel * gain(shaker[s]), shakerAttack);
            if (!stab.empty() && stab[s] != '.')
                mix.stab(at(b, s), 0.08, notes, 0.3f * gain(stab[s]));
            if (fill && s >= steps / 2) {
                mix.tom(at(b, s), drumGain * gain('x'), 80 + 20 * (steps - 1 - s) * 16 / steps);
                continue;
            }
            if (kick[s] != '.') mix.kick(kit, at(b, s), drumGain * gain(kick[s]));
            if (!snare.empty() && snare[s] != '.')
                mix.snare(kit, at(b, s), drumGain * 0.8f * gain(snare[s]));
            if (!clap.empty() && clap[s] != '.')
                mix.clap(kit, at(b, s), drumGain * 0.7f * gain(clap[s]));
            if (!hat.empty() && hat[s] != '.')
                mix.hat(kit, at(b, s), drumGain * 0.4f * gain(hat[s]) * hatLevel, false);
            if (!openHat.empty() && openHat[s] != '.')
                mix.hat(kit, at(b, s), drumGain * 0.35f * gain(openHat[s]) * hatLevel, true);
            if (!rim.empty() && rim[s] != '.') mix.rim(at(b, s), drumGain * 0.4f * gain(rim[s]));
        }
        if (drums && def.jitterHi >= 4 && b % 8 == 0) mix.crash(at(b, 0), drumGain * 0.6f);
    }
    if (!def.percussion.empty()) {
        // Its own cycle runs across the bar lines wherever the drums play, on a cowbell, congas, a
        // clave or a shaker, as loud as the kick or louder.
        const Cycle cycle = def.percussion[static_cast<std::size_t>(
            rng.pick(static_cast<int>(def.percussion.size())))];
        const int voice = rng.pick(4);
        const float level = drumGain * static_cast<float>(rng.uniform(1.0, 1.6));
        const std::size_t length = std::strlen(cycle.hits);
        for (std::size_t k = 0;; ++k) {
            const double beats = static_cast<double>(k) * cycle.stepBeats;
            const int b = static_cast<int>(beats / def.beatsPerBar);
            if (b >= bars) break;
            const char c = cycle.hits[k % length];
            if (c == '.' || !drumsIn(b)) continue;
            const double t = (curve ? curve->timeOf(beats) : offset + beats * beat) + human();
            if (voice == 0)
                mix.cowbell(t, level * gain(c));
            else if (voice == 1)
                mix.conga(t, level * gain(c), c == 'X' ? 200 : 310);
            else if (voice == 2)
                mix.rim(t, level * gain(c));
            else
                mix.hat(kit, t, level * gain(c), false);
        }
    }
    if (roomWet > 0) mix.room(roomWet);
    if (threshold < 0) mix.compress(threshold, ratio, 0.005, 0.15);
    if (top > 0) mix.lowPass(top);
    mix.noiseBed(static_cast<float>(std::pow(10.0, plan.noiseDb / 20)));
    mix.normalise(static_cast<float>(rng.uniform(0.5, 0.98)));
    return std::move(mix.samples());
}

} // namespace zen::corpus
