#pragma once

#include "deck/audio/AudioEngine.h"

#include <QString>
#include <array>
#include <cstdint>
#include <span>

namespace zen::deck {

// One palette entry: blue, green, red, 0.
struct PaletteEntry {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    std::uint8_t reserved = 0;
};

// The picture of pctSpectrum: an 8-bit palette bitmap drawn from the channel's frequency
// analysis, either as 44 bands of bars (the "Oscilloscope" view, the start mode) or as a scrolling
// time-frequency picture (the "Spectrum Analyzer" view) that adds one column per tick.
class SpectrumPicture {
public:
    static constexpr int kWidth = 88;
    static constexpr int kHeight = 101;
    // A full band also writes row 101, which lies in the buffer but is never shown.
    static constexpr int kRows = kHeight + 1;
    static constexpr int kAnalysisSize = 1025;
    static constexpr int kStartPeriodMs = 35;
    static constexpr int kScrollPeriodMs = 25;
    static constexpr int kBarPeriodMs = 1;

    static const std::array<PaletteEntry, 256>& palette();

    // One tick of tmrSpectrum: analyse the channel (all 0 when that fails, as with no track) and
    // draw the frame of the current view.
    void tick(audio::AudioEngine& engine, audio::Handle channel);
    // Draws one frame from an analysis; bins beyond its end read as 0.
    void drawFrame(std::span<const float> analysis);
    // The click on the picture: the other view, on a black picture, from column 0.
    void switchMode();

    bool scrolling() const { return scrolling_; }
    int writeColumn() const { return writeColumn_; }
    // The period tmrSpectrum runs at: 35 ms until the first switch, then per view.
    int periodMs() const { return periodMs_; }
    // The text of lblVU for the current view.
    QString caption() const;

    // Row 0 is the bottom row.
    std::uint8_t pixel(int column, int row) const { return bits_[kWidth * row + column]; }
    std::span<const std::uint8_t> bits() const { return bits_; }

private:
    void drawBars(std::span<const float> analysis);
    void drawScroll(std::span<const float> analysis);

    std::array<float, kAnalysisSize> analysis_{};
    std::array<std::uint8_t, kWidth * kRows> bits_{};
    bool scrolling_ = false;
    int writeColumn_ = 0;
    int periodMs_ = kStartPeriodMs;
};

} // namespace zen::deck
