#pragma once

// One band of the parametric equalizer: a stereo RBJ peaking biquad at the output rate. Parameter
// changes glide over about 10 ms (coefficients recomputed every 16 frames on the way), so moving
// an EQ fader or killing a band never clicks. A band at 0 dB is an exact pass-through.
//
// A voice's bands run in a row, frame by frame in one pass: each band's recursion waits on its
// own last output, and interleaving the bands lets the processor work on all of them at once
// (about half the time of band after band, on the audio thread's every block).
namespace zen::audio {

class ParamEqFilter {
public:
    ParamEqFilter() { setSampleRate(44100); }
    // The output rate fs; a band already set keeps its values at the new rate.
    void setSampleRate(double fs);
    // Values are clamped to the band's ranges: centre 80..fs/3 Hz, bandwidth 1..36 semitones,
    // gain -15..+15 dB. The first call after reset() jumps straight to the values.
    void set(float centreHz, float bandwidthSemitones, float gainDb);
    void reset();
    // `count` bands (at most kMaxChain) one after the other, in place, on interleaved stereo.
    static constexpr int kMaxChain = 16;
    static void processChain(ParamEqFilter* const* bands, int count, float* stereo, int frames);

    static float clampCentre(float hz, double fs);
    static float clampBandwidth(float semitones);
    static float clampGain(float db);

private:
    struct Params {
        double logCentre = 0;
        double bandwidth = 12;
        double gain = 0;
    };
    struct Stage;
    void computeCoefficients();
    void glide();
    bool atTarget() const;
    // Readies the band for the next frames (gliding on); false when it passes them through.
    bool prepare(bool chunked);

    double fs_ = 44100;
    double glideCoeff_ = 0;
    bool primed_ = false;
    Params current_;
    Params target_;
    double b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
    double z1_[2] = {0, 0};
    double z2_[2] = {0, 0};
};

} // namespace zen::audio
