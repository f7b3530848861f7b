#include "deck/displays/LevelMeterModel.h"

#include <gtest/gtest.h>

using zen::deck::LevelMeterModel;

namespace {

constexpr std::int32_t both(int left, int right) {
    return left | (right << 16);
}

} // namespace

// Tops are y coordinates growing downwards: 5 is a full bar, 97.5 a sunk one, 101 hidden.
TEST(LevelMeterModel, FullScaleJumpsThenFallsAndWithNoTrackBarsHide) {
    const std::pair<int, int> percents[] = {{127, 100}, {64, 50}, {128, 101}, {0xFFFF, 101}};
    for (const auto& [reading, percent] : percents)
        EXPECT_EQ(LevelMeterModel::percent(reading), percent) << reading;
    LevelMeterModel m;
    EXPECT_TRUE(m.read(both(128, 128)));
    EXPECT_EQ(m.top(LevelMeterModel::kRightMarker), -1);
    EXPECT_EQ(m.top(LevelMeterModel::kRightBar), 5);
    // Below the threshold nothing jumps; bars sink 2.5 and markers 1 per step until 96 or more.
    EXPECT_FALSE(m.read(both(64, 64)));
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
    EXPECT_TRUE(m.read(both(64, 0)));
    EXPECT_EQ(m.top(LevelMeterModel::kLeftBar), 56);
    EXPECT_EQ(m.top(LevelMeterModel::kLeftMarker), 50);
    EXPECT_EQ(m.top(LevelMeterModel::kRightBar), 97.5) << "0 % is below the dropped threshold of 1";
    EXPECT_FALSE(m.read(-1));
    EXPECT_EQ(m.top(LevelMeterModel::kRightBar), 101);
    EXPECT_EQ(m.top(LevelMeterModel::kLeftBar), 101);
}
