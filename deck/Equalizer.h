#pragma once

#include "deck/ChannelSource.h"

#include <array>
#include <cstdint>
#include <functional>

class DeckSlider;
struct DeckSnapshot;
class QLabel;

// The three-band equalizer with kill and reset on its band labels, its effects on the loaded
// channel, and the volume, pan and touch-amount faders.
class Equalizer {
public:
    static constexpr int kBandCount = 3;
    static constexpr int kEqTop = 150;     // +15.0 dB
    static constexpr int kEqBottom = -150; // -15.0 dB
    static constexpr int kLeftButton = 1;
    static constexpr int kRightButton = 2;
    // Bands 0 to 2 in slots 0 to 2; slot 3 carries the low band a second time.
    static constexpr int kEffectCount = 4;

    struct Controls {
        std::array<DeckSlider*, kBandCount> vscEQ{};
        std::array<QLabel*, kBandCount> bandValues{}; // lblinfo(11..13)
        std::array<DeckSlider*, 3> hscEQ{};           // volume, pan, touch amount
        std::array<QLabel*, 3> faderValues{};         // lblinfo(8..10)
    };

    // `panChanged` is the pitch's ApplyPitch: a pan change reaches the channel with its rate.
    Equalizer(zen::audio::AudioEngine& engine, zen::deck::ChannelSource channel,
              const Controls& controls, std::function<void()> panChanged);

    // Sets the gain (tenths of a dB) of a band's effect; the low band also rewrites slot 3 with
    // its parameters, so it acts twice.
    void Zen_Equalize(std::int16_t band, std::int16_t gain);
    // vscEQ(i) moved (by the user or the program).
    void bandChanged(int band);
    // lblEQR(i): the right button held kills the band until release, the left button resets it.
    void bandLabelDown(int band, int button);
    void bandLabelUp(int band, int button);

    // hscEQ(i) change (every value change) and scroll (user moves) handling.
    void faderChange(int fader);
    void faderScroll(int fader);

    // The load: the four effects on the new channel, each band at its fader's gain.
    void attach();
    // The load's last step: the pan goes through its change handling once more, then the new
    // channel takes the faders' volume and pan even when the pan was already 0.
    void reapplyPan();

    // The deck's record: the bands and the faders; a relaunched deck moves them back.
    void save(DeckSnapshot& snapshot) const;
    void restore(const DeckSnapshot& snapshot);

    int volume() const { return volume_; }
    int pan() const { return pan_; }
    int touchAmount() const { return touchAmount_; }
    zen::audio::Handle effect(int slot) const { return eqFx_[slot]; }

private:
    void setBandFader(int band, int value);

    zen::audio::AudioEngine& engine_;
    zen::deck::ChannelSource channel_;
    Controls controls_;
    std::function<void()> panChanged_;
    std::array<zen::audio::Handle, kEffectCount> eqFx_{};
    // A killed band's gain, put back when its label is let go.
    std::array<std::int16_t, kBandCount> killSave_{};
    // The faders' start values.
    int volume_ = 50;
    int pan_ = 0;
    int touchAmount_ = 2500;
};
