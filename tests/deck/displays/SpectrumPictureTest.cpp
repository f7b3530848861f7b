#include "deck/displays/SpectrumPicture.h"
#include "FakeEngine.h"
#include "common/Colors.h"

#include <gtest/gtest.h>
#include <utility>
#include <vector>

using zen::deck::SpectrumPicture;

namespace {

constexpr int W = SpectrumPicture::kWidth;
constexpr int H = SpectrumPicture::kHeight;

// A magnitude whose square root times 3 times full is exactly `height`.
float magnitudeFor(int height, int full) {
    const double root = static_cast<double>(height) / (3.0 * full);
    return static_cast<float>(root * root);
}

int filledHeight(const SpectrumPicture& d, int column) {
    int rows = 0;
    while (rows < SpectrumPicture::kRows && d.pixel(column, rows) != 0)
        ++rows;
    return rows;
}

} // namespace

TEST(SpectrumPicture, WithNoTrackTheBarViewIsALineOfColourOneOverColumns0To86) {
    FakeEngine engine;
    SpectrumPicture d;
    d.tick(engine, 0);
    for (int c = 0; c < W - 1; ++c) {
        EXPECT_EQ(d.pixel(c, 0), 1) << "column " << c;
        EXPECT_EQ(d.pixel(c, 1), 0) << "column " << c;
    }
    for (int r = 0; r < SpectrumPicture::kRows; ++r)
        EXPECT_EQ(d.pixel(W - 1, r), 0) << "row " << r;
}

TEST(SpectrumPicture, FullBandFillsToTheTopAndRow101AndOddColumnsCarryTheMeanHalvesToEven) {
    SpectrumPicture d;
    std::vector<float> a(1025, 0.0f);
    a[1] = 1.0f / 9.0f;         // square root times 3 is exactly 1: full
    a[2] = 0.0f;                // band 1 at height 0; mean 50.5 rounds to 50
    a[3] = magnitudeFor(2, H);  // band 2 at height 2; mean 1 with band 1
    a[4] = 1.0f;                // band 3 at full; mean 51.5 rounds to 52
    a[5] = magnitudeFor(50, H); // band 4 at 50; mean 75.5 rounds to 76
    d.drawFrame(a);

    EXPECT_EQ(filledHeight(d, 0), H + 1);
    EXPECT_EQ(d.pixel(0, H - 1), H);
    EXPECT_EQ(d.pixel(0, H), H + 1) << "row 101 lies in the buffer and is written";
    EXPECT_EQ(filledHeight(d, 1), 51);
    EXPECT_EQ(filledHeight(d, 2), 1);
    EXPECT_EQ(filledHeight(d, 3), 2);
    EXPECT_EQ(filledHeight(d, 4), 3);
    EXPECT_EQ(filledHeight(d, 5), 53);
    EXPECT_EQ(filledHeight(d, 6), H + 1);
    EXPECT_EQ(filledHeight(d, 7), 77);
    EXPECT_EQ(filledHeight(d, 8), 51);
    for (int r = 0; r <= 50; ++r)
        ASSERT_EQ(d.pixel(8, r), r + 1) << "colour by height";
}

TEST(SpectrumPicture, BadMagnitudesReadAsSilenceOrFull) {
    SpectrumPicture d;
    std::vector<float> a(1025, 0.0f);
    a[1] = -4.0f;
    a[2] = std::numeric_limits<float>::quiet_NaN();
    a[3] = std::numeric_limits<float>::infinity();
    d.drawFrame(a);
    EXPECT_EQ(filledHeight(d, 0), 1);
    EXPECT_EQ(filledHeight(d, 2), 1);
    EXPECT_EQ(filledHeight(d, 4), H + 1);
}

TEST(SpectrumPicture, ScrollingViewWritesStrengthBehindADottedMarkerAndWrapsAfter88Ticks) {
    FakeEngine engine;
    SpectrumPicture d;
    d.switchMode();
    d.tick(engine, 0); // no track: a black column
    EXPECT_EQ(d.writeColumn(), 1);
    for (int r = 0; r < H; ++r) {
        ASSERT_EQ(d.pixel(0, r), 128) << "row " << r;
        ASSERT_EQ(d.pixel(1, r), r % 2 == 0 ? 255 : 0) << "row " << r;
    }

    engine.spectrum.assign(1024, 0.0f);
    engine.spectrum[1] = 0.12f;                 // root x 381 = 132: white
    engine.spectrum[2] = magnitudeFor(64, 127); // 64 of 127
    engine.spectrum[101] = 1.0f;                // the top row reads bin 101
    engine.spectrum[102] = 1.0f;                // beyond the picture
    d.tick(engine, 7);
    EXPECT_EQ(engine.askedChannel, 7u);
    EXPECT_EQ(d.pixel(1, 0), 255);
    EXPECT_EQ(d.pixel(1, 1), 128 + 64);
    EXPECT_EQ(d.pixel(1, 2), 128);
    EXPECT_EQ(d.pixel(1, H - 1), 255);
    EXPECT_EQ(d.pixel(1, H), 0) << "the scrolling view never writes row 101";
    EXPECT_EQ(d.pixel(0, 0), 128) << "the bitmap is not cleared";

    for (int i = 2; i < W; ++i)
        d.tick(engine, 7);
    EXPECT_EQ(d.writeColumn(), 0);
    EXPECT_EQ(d.pixel(0, 0), 255) << "the marker now sits on the oldest column";
    d.tick(engine, 7);
    EXPECT_EQ(d.pixel(0, 1), 128 + 64) << "the oldest column is overwritten";
    EXPECT_EQ(d.writeColumn(), 1);
}

TEST(SpectrumPicture, ModeSwitchSetsCaptionPeriodAndStartsOnABlackPicture) {
    FakeEngine engine;
    engine.spectrum.assign(1024, 1.0f);
    SpectrumPicture d;
    EXPECT_FALSE(d.scrolling());
    EXPECT_EQ(d.caption(), "Oscilloscope");
    EXPECT_EQ(d.periodMs(), 35);

    d.tick(engine, 1);
    d.switchMode();
    EXPECT_TRUE(d.scrolling());
    EXPECT_EQ(d.caption(), "Spectrum Analyzer");
    EXPECT_EQ(d.periodMs(), 25);
    for (std::uint8_t b : d.bits())
        ASSERT_EQ(b, 0);

    d.tick(engine, 1);
    d.tick(engine, 1);
    d.switchMode();
    EXPECT_FALSE(d.scrolling());
    EXPECT_EQ(d.caption(), "Oscilloscope");
    EXPECT_EQ(d.periodMs(), 1) << "two clicks leave the bar view at 1 ms, not 35";
    EXPECT_EQ(d.writeColumn(), 0);
    d.switchMode();
    EXPECT_EQ(d.writeColumn(), 0) << "each switch starts the scroll at column 0";
}

TEST(SpectrumPicture, PaletteRunsThroughItsColourRanges) {
    constexpr std::pair<int, zen::Rgb> kSamples[] = {
        {0, zen::rgb(0, 0, 0)},       {1, zen::rgb(128, 253, 0)},   {102, zen::rgb(229, 51, 0)},
        {127, zen::rgb(254, 1, 0)},   {128, zen::rgb(0, 0, 0)},     {159, zen::rgb(0, 0, 248)},
        {160, zen::rgb(0, 0, 255)},   {191, zen::rgb(248, 0, 255)}, {192, zen::rgb(255, 0, 248)},
        {223, zen::rgb(255, 248, 0)}, {224, zen::rgb(255, 255, 0)}, {255, zen::rgb(255, 255, 248)}};
    for (const auto& [index, expected] : kSamples) {
        const auto& e = SpectrumPicture::palette()[index];
        EXPECT_EQ(zen::rgb(e.red, e.green, e.blue), expected) << "entry " << index;
    }
}
