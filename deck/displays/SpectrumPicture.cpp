#include "deck/displays/SpectrumPicture.h"

#include <algorithm>
#include <cmath>

namespace zen::deck {

namespace {

constexpr std::array<PaletteEntry, 256> makePalette() {
    std::array<PaletteEntry, 256> p{};
    auto set = [&p](int i, int red, int green, int blue) {
        p[i] = {static_cast<std::uint8_t>(blue), static_cast<std::uint8_t>(green),
                static_cast<std::uint8_t>(red), 0};
    };
    // The bar view colours by height: yellow-green at the bottom through to red at the top.
    for (int i = 1; i <= 127; ++i)
        set(i, 127 + i, 255 - 2 * i, 0);
    // The scrolling view colours by strength: black, blue, violet, yellow, white.
    for (int a = 0; a <= 31; ++a) {
        set(128 + a, 0, 0, 8 * a);
        set(160 + a, 8 * a, 0, 255);
        set(192 + a, 255, 8 * a, 8 * (31 - a));
        set(224 + a, 255, 255, 8 * a);
    }
    return p;
}

constexpr std::array<PaletteEntry, 256> kPalette = makePalette();

float bin(std::span<const float> analysis, int index) {
    return index < static_cast<int>(analysis.size()) ? analysis[index] : 0.0f;
}

// Square root of the magnitude, times 3, times full, to the nearest integer (halves to even, as
// the default rounding does), at most full. Negative or NaN magnitudes count as silence.
int scaled(float magnitude, int full) {
    const double v = std::sqrt(static_cast<double>(std::max(0.0f, magnitude))) * 3 * full;
    if (!(v < full)) return full;
    return static_cast<int>(std::nearbyint(v));
}

// The mean of two heights, halves to even.
int meanToEven(int a, int b) {
    const int sum = a + b;
    int half = sum / 2;
    if (sum % 2 != 0 && half % 2 != 0) ++half;
    return half;
}

} // namespace

const std::array<PaletteEntry, 256>& SpectrumPicture::palette() {
    return kPalette;
}

void SpectrumPicture::tick(audio::AudioEngine& engine, audio::Handle channel) {
    analysis_.fill(0.0f);
    engine.channelGetData(channel, analysis_.data(), audio::kDataFft2048);
    drawFrame(analysis_);
}

void SpectrumPicture::drawFrame(std::span<const float> analysis) {
    if (scrolling_)
        drawScroll(analysis);
    else
        drawBars(analysis);
}

void SpectrumPicture::drawBars(std::span<const float> analysis) {
    bits_.fill(0);
    int previous = 0;
    for (int x = 0; x < kWidth / 2; ++x) {
        const int y = scaled(bin(analysis, x + 1), kHeight);
        // The odd column between two bands carries their mean.
        if (x > 0) {
            const int m = meanToEven(previous, y);
            for (int r = m; r >= 0; --r)
                bits_[kWidth * r + 2 * x - 1] = static_cast<std::uint8_t>(r + 1);
        }
        previous = y;
        for (int r = y; r >= 0; --r)
            bits_[kWidth * r + 2 * x] = static_cast<std::uint8_t>(r + 1);
    }
}

void SpectrumPicture::drawScroll(std::span<const float> analysis) {
    for (int r = 0; r < kHeight; ++r)
        bits_[kWidth * r + writeColumn_] =
            static_cast<std::uint8_t>(scaled(bin(analysis, r + 1), 127) + 128);
    writeColumn_ = (writeColumn_ + 1) % kWidth;
    // A dotted white line marks where the next column will go.
    for (int r = 0; r < kHeight; r += 2)
        bits_[kWidth * r + writeColumn_] = 255;
}

void SpectrumPicture::switchMode() {
    scrolling_ = !scrolling_;
    writeColumn_ = 0;
    periodMs_ = scrolling_ ? kScrollPeriodMs : kBarPeriodMs;
    bits_.fill(0);
}

QString SpectrumPicture::caption() const {
    return scrolling_ ? QStringLiteral("Spectrum Analyzer") : QStringLiteral("Oscilloscope");
}

} // namespace zen::deck
