#pragma once

#include <string>
#include <vector>

// The varispeed resamplers the engine could use, measured on their own with float input: the
// figures the choice was made by.
namespace zen::bench {

struct CandidateFigures {
    std::string name;
    double dbAt18k = 0;         // worst over the rates of the pitch fader's range
    double topKhzAtMinus16 = 0; // highest output frequency within 0.5 dB at -16 %
    double worstSpurDb = 0;     // strongest spurious or aliased component, relative to the tone
    double realtimeStereo = 0;  // seconds of stereo output per second of CPU at +8 %
};

std::vector<CandidateFigures> measureCandidates();

} // namespace zen::bench
