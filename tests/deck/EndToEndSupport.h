#pragma once

#include "common/ConfigRecord.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include <vector>

// Plumbing of the tests that run the real ZentariDeck on the display and the sound server.
namespace zen::e2e {

// Runs a program to its end; true when it exited normally with status 0.
bool run(const QString& program, const QStringList& args,
         const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
         int timeoutMs = 10000);
bool xdotool(const QStringList& args);

// The JACK device "system" when the sound library lists it, else the default output.
int jackOutputDevice();

// Copies the built ZentariDeck and its styles into `programDir`; returns the program's path, or
// an empty string when the program is not there.
QString installDeck(const QString& programDir);
// A deck 1 configuration playing on `device` from `musicFolder`, with no mapping.
zen::config::ConfigRecord deckRecord(int device, const QString& musicFolder);
// Waits up to 10 s for the deck's window to show on the display.
bool waitForDeckWindow();

// Records `seconds` of what the sound server plays; returns the left channel.
std::vector<float> recordOutput(const QString& file, double seconds);
// Frames of the recording that carry the tone: at the deck's start volume most of a sine's
// samples lie well above this, silence and dither far below.
std::size_t loudFrames(const std::vector<float>& mono);
// The part of a recording where the tone sounds (the first stall of a server is cut off).
std::vector<float> sounding(const std::vector<float>& mono);
// The frequency of a recorded tone, robust to the dropouts a loaded machine causes in a dummy
// sound server: cycles far from the median length (a gap, a glitch) are left out of the mean.
double steadyHz(const std::vector<float>& mono, double rate = 44100);

// The strongest tone of a recording between two frequencies, where another tone may sound
// too: its frequency (to a tenth of a hertz) and its amplitude (1 = full scale).
struct Tone {
    double hz = 0;
    double amplitude = 0;
};
Tone strongestTone(const std::vector<float>& mono, double lowHz, double highHz,
                   double rate = 44100);

// Skips when the display or the sound server is missing; ends the deck after each test.
class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QProcess deck;
};

} // namespace zen::e2e
