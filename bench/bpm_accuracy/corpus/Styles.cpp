#include "Styles.h"

#include "Synth.h"

#include <cmath>

namespace zen::corpus {

namespace {

using Patterns = std::vector<std::string>;

// One bar of sixteenths per pattern: 'X' accent, 'x' normal, 'o' ghost, '.' rest. Each track picks
// one variant per instrument; the empty pattern leaves the instrument out.
struct StyleDef {
    const char* name;
    double lo, hi;           // tempo range
    double swingLo, swingHi; // swing of the off sixteenths (or eighths with eighthSwing)
    bool eighthSwing;
    double jitterLo, jitterHi;
    Patterns kick, snare, clap, hat, openHat, rim, bass, stab;
};

const std::vector<StyleDef>& styles() {
    // One style per block reads as a table.
    // clang-format off
    static const std::vector<StyleDef> defs = {
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
    };
    // clang-format on
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
    return plan;
}

std::vector<float> renderTrack(const TrackPlan& plan, int rate) {
    const StyleDef& def = styles()[static_cast<std::size_t>(plan.style)];
    Rng rng(plan.seed * 7919 + 17);
    Mix mix(rate, plan.seconds, plan.seed);
    const Kit kit = Kit::random(rng);
    auto choose = [&](const Patterns& p) {
        return p[static_cast<std::size_t>(rng.pick(static_cast<int>(p.size())))];
    };
    const std::string kick = choose(def.kick), snare = choose(def.snare), clap = choose(def.clap),
                      hat = choose(def.hat), openHat = choose(def.openHat), rim = choose(def.rim),
                      bass = choose(def.bass), stab = choose(def.stab);

    const double beat = 60.0 / plan.bpm;
    const double sixteenth = beat / 4;
    const double bar = beat * 4;
    const double offset = rng.uniform(0, 0.5); // the first downbeat is not at time zero
    const int bars = static_cast<int>((plan.seconds - offset) / bar) + 1;
    const int breakStart = plan.introBars + 8 + rng.pick(8);

    // Time of a sixteenth step within a bar, with swing and a human's timing spread.
    auto at = [&](int barIndex, int step) {
        double t = offset + barIndex * bar + step * sixteenth;
        if (def.eighthSwing) {
            if (step % 4 == 2) t += (2 * plan.swing - 1) * 2 * sixteenth;
        } else if (step % 2 == 1) {
            t += (2 * plan.swing - 1) * sixteenth;
        }
        return t + rng.uniform(-1, 1) * plan.jitterMs / 1000;
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

    for (int b = 0; b < bars; ++b) {
        const int* chord = degrees[progression[static_cast<std::size_t>((b / chordBars) % 4)]];
        const std::vector<int> notes = {key + 24 + chord[0], key + 24 + chord[1],
                                        key + 24 + chord[2]};
        if (b % chordBars == 0) mix.pad(at(b, 0), bar * chordBars, notes, padGain);
        const bool drums =
            b >= plan.introBars && !(plan.breakdown && b >= breakStart && b < breakStart + 8);
        const bool fill = def.jitterHi >= 4 && b % 8 == 7;
        for (int s = 0; s < 16; ++s) {
            if (!bass.empty() && bass[s] != '.' && (drums || b >= plan.introBars / 2)) {
                int len = 1;
                while (s + len < 16 && bass[s + len] == '.')
                    ++len;
                mix.bass(at(b, s), std::min(len, 4) * sixteenth * 0.9, key + chord[0], bassGain,
                         bassCutoff);
            }
            if (!drums) continue;
            if (!stab.empty() && stab[s] != '.')
                mix.stab(at(b, s), 0.08, notes, 0.3f * gain(stab[s]));
            if (fill && s >= 8) {
                mix.tom(at(b, s), drumGain * gain('x'), 80 + 20 * (15 - s));
                continue;
            }
            if (kick[s] != '.') mix.kick(kit, at(b, s), drumGain * gain(kick[s]));
            if (!snare.empty() && snare[s] != '.')
                mix.snare(kit, at(b, s), drumGain * 0.8f * gain(snare[s]));
            if (!clap.empty() && clap[s] != '.')
                mix.clap(kit, at(b, s), drumGain * 0.7f * gain(clap[s]));
            if (!hat.empty() && hat[s] != '.')
                mix.hat(kit, at(b, s), drumGain * 0.4f * gain(hat[s]), false);
            if (!openHat.empty() && openHat[s] != '.')
                mix.hat(kit, at(b, s), drumGain * 0.35f * gain(openHat[s]), true);
            if (!rim.empty() && rim[s] != '.') mix.rim(at(b, s), drumGain * 0.4f * gain(rim[s]));
        }
        if (drums && def.jitterHi >= 4 && b % 8 == 0) mix.crash(at(b, 0), drumGain * 0.6f);
    }
    mix.noiseBed(static_cast<float>(std::pow(10.0, plan.noiseDb / 20)));
    mix.normalise(static_cast<float>(rng.uniform(0.5, 0.98)));
    return std::move(mix.samples());
}

} // namespace zen::corpus
