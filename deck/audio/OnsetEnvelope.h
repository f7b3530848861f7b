#pragma once

#include "RunningExtreme.h"

#include <cstddef>
#include <vector>

struct fftwf_plan_s;

// Onset strength of mono audio at about 100 frames per second: the increases of log power in a
// set of frequency bands, each band normalised so that a loud band cannot drown the others, summed.
// Fed in chunks of any size as the audio is decoded.
namespace zen::audio {

class OnsetEnvelope {
public:
    explicit OnsetEnvelope(int sampleRate);
    ~OnsetEnvelope();
    OnsetEnvelope(const OnsetEnvelope&) = delete;
    OnsetEnvelope& operator=(const OnsetEnvelope&) = delete;

    void add(const float* samples, std::size_t count);

    // Exact envelope frame rate (the hop is a whole number of samples).
    double framesPerSecond() const { return framesPerSecond_; }
    // Largest absolute sample seen so far.
    float peak() const { return peak_; }
    // The envelope of everything added so far, one value per frame, >= 0.
    std::vector<float> envelope() const;
    // The rises of the magnitude summed over the bands that lie between loHz and hiHz: unlike the
    // envelope's log rises, these follow the loudest hits of those bands, such as the kick's or
    // the snare's, and hardly the softer sounds between them.
    std::vector<float> loudRises(double loHz, double hiHz) const;
    // Rises of noise that fill every third of an octave from 1.6 to 10 kHz at once and last: a
    // snare's or a clap's, and hardly a hi-hat's, a click's or the partials of a chord.
    std::vector<float> noiseBursts() const;
    // Where the harmony changes: how much the spectrum's shape from 100 Hz to 1.6 kHz changes once
    // sounds shorter than 150 ms (drums) are taken out, so that a new chord or bass note counts and
    // a chord struck again, a louder passage or a drum does not.
    std::vector<float> harmonyChanges() const;

private:
    void addDecimated(float sample);
    void analyseFrame();
    void keepOpened(const float* opened);

    int decimation_;
    float partialSum_ = 0;
    int partialCount_ = 0;
    int hop_;
    int frameSize_;
    double framesPerSecond_;
    float peak_ = 0;
    float powerFloor_;
    std::vector<float> window_;
    std::vector<float> pending_; // reduced-rate samples not yet consumed by a frame
    std::size_t pendingStart_ = 0;
    std::vector<std::size_t> bandEdges_;            // FFT bin edges, bands + 1 entries
    std::vector<double> bandEdgesHz_;               // the nominal frequency of each edge
    std::vector<float> bandPowers_;                 // frames x bands
    std::vector<std::size_t> noiseEdges_;           // FFT bin edges of the third-octave noise bands
    std::vector<float> noisePowers_;                // frames x noise bands
    std::size_t harmonyFirst_ = 0, harmonyEnd_ = 0; // FFT bins where chords and bass notes lie
    std::vector<float> harmonyLevel_;               // the frame being analysed, log power
    RunningOpening harmonyOpening_;                 // drums taken out of the log powers
    std::vector<std::vector<float>> harmonyOpened_; // chunks of frames x bins out of the opening
    std::size_t harmonyOpenedFrames_ = 0;           // frames out of it so far
    std::size_t harmonyFrames_ = 0;                 // frames analysed
    double harmonyPower_ = 0;                       // summed over them all
    std::vector<float> binPowers_;                  // the frame being analysed, per FFT bin
    float* fftIn_;
    float* fftOut_; // interleaved complex
    fftwf_plan_s* plan_;
};

} // namespace zen::audio
