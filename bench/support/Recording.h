#pragma once

#include <QProcess>
#include <QString>

#include <array>
#include <cstddef>
#include <vector>

// What the sound server plays, recorded and measured.
namespace zen::e2e {

// Records `seconds` of what the sound server plays; returns the left channel.
std::vector<float> recordOutput(const QString& file, double seconds);

// A recording of what the sound server plays, taken in the background while the caller acts.
class Capture {
public:
    // Starts recording `seconds` into `file`; the first moments are lost while the recorder
    // connects, so act a while after. False when the recorder did not start.
    bool start(const QString& file, double seconds);
    // Waits for the recording's end; its left and right channels, empty when it failed.
    std::array<std::vector<float>, 2> finish();

private:
    QProcess recorder_;
    QString file_;
    double seconds_ = 0;
};
// Frames of the recording that carry the tone: at the deck's start volume most of a sine's
// samples lie well above this, silence and dither far below.
std::size_t loudFrames(const std::vector<float>& mono);
// The part of a recording where the tone sounds (the first stall of a server is cut off).
std::vector<float> sounding(const std::vector<float>& mono);
// The frequency of a recorded tone, robust to the dropouts a loaded machine causes in a dummy
// sound server: cycles far from the median length (a gap, a glitch) are left out of the mean.
double steadyHz(const std::vector<float>& mono, double rate = 44100);

// Amplitude of the sine at `hz` fitted by least squares to `mono`, recorded at `rate`.
double toneAmplitude(const std::vector<float>& mono, double hz, double rate = 44100);

} // namespace zen::e2e
