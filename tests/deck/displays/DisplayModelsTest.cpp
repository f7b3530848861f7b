#include "common/Colors.h"
#include "deck/displays/LevelMeterModel.h"
#include "deck/displays/SpectrumPicture.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <limits>
#include <tuple>
#include <vector>

using zen::deck::LevelMeterModel;
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

TEST(SpectrumPicture, BarsFillToTheirHeightAndOddColumnsCarryTheMeanHalvesToEven) {
    SpectrumPicture d;
    std::vector<float> a(1025, 0.0f);
    a[1] = 1.0f / 9.0f;         // square root times 3 is exactly 1: full
    a[3] = magnitudeFor(2, H);  // band 1 at height 0 (mean 50.5 rounds to 50), band 2 at 2
    a[4] = 1.0f;                // band 3 at full; mean 51.5 rounds to 52
    a[5] = magnitudeFor(50, H); // band 4 at 50; mean 75.5 rounds to 76
    a[6] = -4.0f;               // damaged analyses read as silence or full
    a[7] = std::numeric_limits<float>::quiet_NaN();
    a[8] = std::numeric_limits<float>::infinity();
    d.drawFrame(a);
    const int heights[] = {H + 1, 51, 1, 2, 3, 53, H + 1, 77, 51, 26, 1, 1, 1, 51, H + 1};
    for (int column = 0; column < static_cast<int>(std::size(heights)); ++column)
        EXPECT_EQ(filledHeight(d, column), heights[column]) << "column " << column;
    for (int r = 0; r <= H; ++r)
        ASSERT_EQ(d.pixel(0, r), r + 1) << "colour by height, row 101 written too";
    // The palette's colour ranges, where a wrong slope or start shows.
    constexpr std::pair<int, zen::Rgb> kSamples[] = {
        {1, zen::rgb(128, 253, 0)}, {159, zen::rgb(0, 0, 248)}, {223, zen::rgb(255, 248, 0)}};
    for (const auto& [index, expected] : kSamples) {
        const auto& e = SpectrumPicture::palette()[index];
        EXPECT_EQ(zen::rgb(e.red, e.green, e.blue), expected) << "entry " << index;
    }
    EXPECT_EQ(filledHeight(d, W - 2), 1) << "silent bands are a line of colour 1";
    EXPECT_EQ(filledHeight(d, W - 1), 0) << "the last column stays empty";
}

// Each switch starts the other view black with its caption and period: 35 ms until the first
// switch, then 25 for the scrolling view and 1 for the bars.
TEST(SpectrumPicture, EachSwitchStartsBlackAndTheScrollingViewWritesBehindAMarkerAndWraps) {
    SpectrumPicture d;
    const auto expectView = [&d](const char* caption, int period) {
        EXPECT_EQ(d.caption(), caption);
        EXPECT_EQ(d.periodMs(), period);
        EXPECT_EQ(d.writeColumn(), 0);
        EXPECT_TRUE(std::all_of(d.bits().begin(), d.bits().end(), [](auto b) { return b == 0; }));
    };
    expectView("Oscilloscope", 35);
    d.drawFrame(std::vector<float>(1025, 1.0f));
    d.switchMode();
    expectView("Spectrum Analyzer", 25);
    d.drawFrame({}); // no track: a black column
    std::vector<float> a(1024, 0.0f);
    a[1] = 0.12f;                 // root x 381 = 132: white
    a[2] = magnitudeFor(64, 127); // 64 of 127
    a[101] = 1.0f;                // the top row reads bin 101
    a[102] = 1.0f;                // beyond the picture
    d.drawFrame(a);
    // Column 0 is the black one, 1 holds the strengths (row 101 never written), 2 the marker.
    const std::tuple<int, int, int> pixels[] = {{0, 0, 128},     {0, 1, 128},      {0, H - 1, 128},
                                                {1, 0, 255},     {1, 1, 128 + 64}, {1, 2, 128},
                                                {1, H - 1, 255}, {1, H, 0},        {2, 0, 255},
                                                {2, 1, 0},       {2, 2, 255},      {2, H - 1, 255}};
    for (const auto& [column, row, value] : pixels)
        EXPECT_EQ(d.pixel(column, row), value) << "column " << column << ", row " << row;

    for (int i = 2; i < W; ++i)
        d.drawFrame(a);
    EXPECT_EQ(d.writeColumn(), 0);
    EXPECT_EQ(d.pixel(0, 0), 255) << "the marker now sits on the oldest column";
    d.drawFrame(a);
    EXPECT_EQ(d.pixel(0, 1), 128 + 64) << "the oldest column is overwritten";
}

// Tops are y coordinates growing downwards: 5 is a full bar, 97.5 a sunk one, 101 hidden.
// A reading holds the left level in its low 16 bits and the right one above them.
TEST(LevelMeterModel, FullScaleJumpsThenFallsAndWithNoTrackBarsHide) {
    const std::pair<int, int> percents[] = {{127, 100}, {64, 50}, {128, 101}, {0xFFFF, 101}};
    for (const auto& [reading, percent] : percents)
        EXPECT_EQ(LevelMeterModel::percent(reading), percent) << reading;
    LevelMeterModel m;
    EXPECT_TRUE(m.read(128 | 128 << 16));
    EXPECT_EQ(m.top(LevelMeterModel::kRightMarker), -1);
    EXPECT_EQ(m.top(LevelMeterModel::kRightBar), 5);
    // Below the threshold nothing jumps; bars sink 2.5 and markers 1 per step until 96 or more.
    EXPECT_FALSE(m.read(64 | 64 << 16));
    m.fall();
    EXPECT_EQ(m.top(LevelMeterModel::kLeftBar), 7.5);
    EXPECT_EQ(m.top(LevelMeterModel::kLeftMarker), 0);
    for (int i = 0; i < 200; ++i)
        m.fall();
    EXPECT_EQ(m.top(LevelMeterModel::kLeftBar), 97.5);
    EXPECT_EQ(m.top(LevelMeterModel::kLeftMarker), 96);
    // Once the thresholds drop, any reading of 1 % or more moves the meter again.
    m.dropThresholds();
    EXPECT_EQ(std::pair(m.leftThreshold(), m.rightThreshold()), std::pair(1, 1));
    EXPECT_TRUE(m.read(64)) << "left only";
    EXPECT_EQ(m.top(LevelMeterModel::kLeftBar), 56);
    EXPECT_EQ(m.top(LevelMeterModel::kLeftMarker), 50);
    EXPECT_EQ(m.top(LevelMeterModel::kRightBar), 97.5) << "0 % is below the dropped threshold of 1";
    EXPECT_FALSE(m.read(-1));
    EXPECT_EQ(m.top(LevelMeterModel::kRightBar), 101);
    EXPECT_EQ(m.top(LevelMeterModel::kLeftBar), 101);
}
