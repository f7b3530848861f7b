#pragma once

#include <cstdint>
#include <vector>

// When the beats of a band's performance fall: the tempo wanders around its base by up to a given
// fraction either way, in two slow swings and a drift shaped by a seed; or it changes once.
namespace zen::corpus {

class TempoCurve {
public:
    // The first beat falls at offset seconds; the curve covers seconds of audio.
    TempoCurve(double bpm, double amplitude, double offset, double seconds, std::uint64_t seed);
    // A steady tempo that changes once, at changeAt seconds, to laterBpm.
    static TempoCurve stepped(double bpm, double laterBpm, double changeAt, double offset,
                              double seconds);

    // Time in seconds of a position counted in beats from the first beat.
    double timeOf(double beats) const;
    // The mean tempo over [from, to] seconds: the beats in it over its duration.
    double meanBpm(double from, double to) const;

private:
    TempoCurve() = default;
    double beatsAt(double seconds) const;
    double offsetBeats_;
    std::vector<double> beats_; // beats since time 0, every millisecond
};

} // namespace zen::corpus
