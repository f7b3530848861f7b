// The pipeline of the most used open DJ player's tempo analysis, from Debian's libqm-dsp, on the
// same files as bpm_accuracy, for comparison only: the complex spectral difference onset function
// (DF_COMPLEXSD) in steps of 512 samples at 44.1 kHz (the same 11.6 ms at other rates), the
// TempoTrackV2 beat tracker, then the tempo of the longest run of beats at a constant tempo, put
// through the deck's conventions (folded into 45..230, doubled below 90). 0 to 90 s of each file,
// decoded whole by libsndfile before the analysis.
//   bpm_qm <folder> [<csv>]   as bpm_accuracy: the folder's corpus.csv by default
#include "DecodedFile.h"
#include "Scoring.h"

#include <dsp/onsets/DetectionFunction.h>
#include <dsp/tempotracking/TempoTrackV2.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr double kStepAt44k = 512;
// Consecutive beats belong to one run while each interval stays within this share of the run's
// mean interval: the tracker's own beats jitter by a frame or two.
constexpr double kConstantBeat = 0.025;

// The tempo of the longest run of beats (times in seconds) whose intervals stay constant: a run
// grows by the next beat while its interval stays near the run's mean interval so far.
double longestConstantRun(const std::vector<double>& beats) {
    double bestSpan = 0, bestBpm = 0;
    std::size_t first = 0;
    for (std::size_t i = 1; i < beats.size(); ++i) {
        if (i > first + 1) {
            const double mean = (beats[i - 1] - beats[first]) / static_cast<double>(i - 1 - first);
            if (std::fabs((beats[i] - beats[i - 1]) / mean - 1) > kConstantBeat) first = i - 1;
        }
        const double span = beats[i] - beats[first];
        if (span > bestSpan) {
            bestSpan = span;
            bestBpm = 60.0 * static_cast<double>(i - first) / span;
        }
    }
    return bestBpm;
}

double qmTempo(const std::vector<float>& mono, int rate) {
    DFConfig config{};
    config.stepSize = static_cast<unsigned>(std::lround(kStepAt44k * rate / 44100.0));
    config.frameLength = 2 * config.stepSize;
    config.DFType = DF_COMPLEXSD;
    config.dbRise = 3;
    config.adaptiveWhitening = false;
    config.whiteningRelaxCoeff = -1;
    config.whiteningFloor = -1;
    DetectionFunction onsets(config);
    std::vector<double> frame(config.frameLength);
    std::vector<double> df;
    for (std::size_t at = 0; at + config.frameLength <= mono.size(); at += config.stepSize) {
        for (std::size_t i = 0; i < frame.size(); ++i)
            frame[i] = mono[at + i];
        df.push_back(onsets.processTimeDomain(frame.data()));
    }
    // The first two values compare against an empty history.
    if (df.size() < 3) return 0;
    df.erase(df.begin(), df.begin() + 2);
    TempoTrackV2 tracker(static_cast<float>(rate), config.stepSize);
    // The tracker writes a beat period for every value of the onset function into periods.
    std::vector<double> periods(df.size(), 0.0), tempi, beats;
    tracker.calculateBeatPeriod(df, periods, tempi, 120.0, false);
    tracker.calculateBeats(df, periods, beats, 0.9, 4.0);
    for (double& beat : beats)
        beat = (beat + 2) * config.stepSize / rate;
    return longestConstantRun(beats);
}

} // namespace

int main(int argc, char** argv) {
    using namespace zen;
    const auto corpus = bench::corpusArguments(argc, argv);
    if (!corpus) return 2;
    const auto& [folder, expected] = *corpus;
    bench::KindTallies tallies;
    double audioSeconds = 0, analysisSeconds = 0;
    for (const auto& e : expected) {
        const auto file = bench::DecodedFile::open(folder + "/" + e.file, 90);
        double bpm = 0;
        if (file) {
            const std::vector<float> mono = file->mono();
            audioSeconds += static_cast<double>(mono.size()) / file->sampleRate();
            const auto start = std::chrono::steady_clock::now();
            bpm = bench::asDeck(qmTempo(mono, file->sampleRate()));
            analysisSeconds +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        tallies.add(e, bpm);
    }
    tallies.print(
        {{"analysis_ms_per_track",
          std::to_string(
              std::lround(1000 * analysisSeconds / static_cast<double>(expected.size())))},
         {"realtime_factor", std::to_string(std::lround(
                                 analysisSeconds > 0 ? audioSeconds / analysisSeconds : 0.0))}});
    return 0;
}
