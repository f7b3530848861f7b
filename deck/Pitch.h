#pragma once

#include "deck/ChannelSource.h"

#include <QString>

class BpmReadout;
struct DeckSnapshot;
class DeckSlider;
class Equalizer;
class QLabel;

// The pitch fader and its step buttons: the fader sets the channel's sample rate, so tempo and
// pitch move together, up to 16 % either way.
class Pitch {
public:
    static constexpr int kTop = -1600;   // +16.00 %
    static constexpr int kBottom = 1600; // -16.00 %

    struct Controls {
        DeckSlider* vscPitch = nullptr;
        QLabel* lblBPM = nullptr; // the percent, or the rate in Hz after a pan change
    };

    // The channel plays with the volume and pan of the equalizer's faders; the BPM read-out
    // follows the pitch.
    Pitch(zen::audio::AudioEngine& engine, zen::deck::ChannelSource channel,
          const Controls& controls, const Equalizer& equalizer, BpmReadout& bpmReadout);

    // The rate for a fader value: the track's own rate moved by the pitch, rounded half to even.
    static int rateFor(int origRate, int faderValue);
    // "1.5 %", "-0.25 %", "16 %", "0 %".
    static QString percentText(int faderValue);

    // Sets the channel's rate from the fader, with the volume and pan faders' values.
    void ApplyPitch();
    // The user moved the fader or pressed a step button.
    void pitchChange();
    // cmdPitchDw ("up"): one hundredth of a percent faster; cmdPitchUp ("dw"): slower.
    void stepFaster();
    void stepSlower();

    // The load: the new track's own rate, and the fader back to 0 without the pitch handling, so
    // the new channel keeps its own rate.
    void trackLoaded(int origRate);
    int origRate() const { return origRate_; }
    int faderValue() const;
    // A touch released: the fader goes back without the pitch handling; the touch set the rate.
    void restoreFader(int value);
    // The deck's record: the fader; a relaunched deck moves it back, as the DJ would.
    void save(DeckSnapshot& snapshot) const;
    void restore(const DeckSnapshot& snapshot);
    // The speed the fader sets, the track's own rate being 1.
    double speed() const;

private:
    zen::audio::AudioEngine& engine_;
    zen::deck::ChannelSource channel_;
    Controls controls_;
    const Equalizer& equalizer_;
    BpmReadout& bpmReadout_;
    // The loaded channel's own rate in Hz, read once per load.
    int origRate_ = 0;
};
