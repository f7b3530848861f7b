#pragma once

#include <cstdint>
#include <map>
#include <vector>

// Small synthesiser for test music: drum voices, a bass, pads, off-beat chord stabs and noise,
// each added into a mono float buffer at a time in seconds. Deterministic for a given seed.
namespace zen::corpus {

class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next();
    double uniform(double lo = 0, double hi = 1) { return lo + (hi - lo) * unit(); }
    int pick(int n) { return static_cast<int>(unit() * n) % n; }
    bool chance(double p) { return unit() < p; }
    float noise() { return static_cast<float>(uniform(-1, 1)); }

private:
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    std::uint64_t state_;
};

// Per-track timbre, drawn once so every track sounds a little different.
struct Kit {
    double kickHz, kickDecay, snareHz, snareDecay, hatDecay, openHatDecay, cutoff;
    static Kit random(Rng& rng);
};

class Mix {
public:
    Mix(int rate, double seconds, std::uint64_t seed);
    std::vector<float>& samples() { return buf_; }

    void kick(const Kit& kit, double t, float gain);
    void snare(const Kit& kit, double t, float gain);
    void clap(const Kit& kit, double t, float gain);
    void rim(double t, float gain);
    void hat(const Kit& kit, double t, float gain, bool open);
    void tom(double t, float gain, double hz);
    void crash(double t, float gain);
    // Hand percussion: a cowbell (two square partials) and a conga (a pitched skin with a slap).
    void cowbell(double t, float gain);
    void conga(double t, float gain, double hz);
    // A filtered saw note; midi note number, length in seconds. A plucked note starts bright and
    // fades, as a picked bass string does; a held one keeps its level.
    void bass(double t, double len, int note, float gain, double cutoff, bool plucked = false);
    // A held chord of detuned saws with slow attack and release.
    void pad(double t, double len, const std::vector<int>& notes, float gain);
    // A short bright chord: reggae skank, house stab, guitar chop.
    void stab(double t, double len, const std::vector<int>& notes, float gain);
    // A shaker: high noise whose beads take 5 to 15 ms to swell (attack in seconds) before it dies.
    void shaker(double t, float gain, double attack);
    // A struck chord of piano-like tones: a hammer's thump, bright partials that fade faster than
    // the fundamental.
    void keys(double t, const std::vector<int>& notes, float gain);
    // A distorted guitar power chord (root and fifth), palm-muted when len is short.
    void guitar(double t, double len, int note, float gain);
    // The whole mix through a small room (wet share of reverb), a bus compressor that pulls the
    // level down by ratio above threshold (dBFS) with attack and release in seconds, and a
    // low-pass at hz (0: none), as a track is mastered.
    void room(float wet);
    void compress(double thresholdDb, double ratio, double attack, double release);
    void lowPass(double hz);
    // Pink-ish background noise over the whole track.
    void noiseBed(float gain);
    // Scales to the given peak.
    void normalise(float peak);

private:
    float* span(double t, double len, std::size_t& count);
    int rate_;
    std::vector<float> buf_;
    Rng rng_;
    std::map<std::vector<int>, std::vector<float>> keyTones_; // a struck chord's tone, by its notes
};

double midiHz(int note);

} // namespace zen::corpus
