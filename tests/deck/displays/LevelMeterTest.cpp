#include "deck/displays/LevelMeter.h"
#include "FakeEngine.h"

#include <QTest>
#include <gtest/gtest.h>

using zen::deck::LevelMeter;
using zen::deck::LevelMeterModel;

namespace {

constexpr std::int32_t both(int left, int right) {
    return left | (right << 16);
}

constexpr int kRightBar = LevelMeterModel::kRightBar;
constexpr int kLeftBar = LevelMeterModel::kLeftBar;
constexpr int kRightMarker = LevelMeterModel::kRightMarker;
constexpr int kLeftMarker = LevelMeterModel::kLeftMarker;

} // namespace

TEST(LevelMeterModel, PercentOfAReading) {
    EXPECT_EQ(LevelMeterModel::percent(127), 100);
    EXPECT_EQ(LevelMeterModel::percent(64), 50);
    EXPECT_EQ(LevelMeterModel::percent(128), 101);
    EXPECT_EQ(LevelMeterModel::percent(0), 0);
    EXPECT_EQ(LevelMeterModel::percent(0xFFFF), 101) << "out-of-range readings stay on the area";
}

TEST(LevelMeterModel, WithNoTrackBarsHideAndMarkersSinkTo96AndStay) {
    LevelMeterModel m;
    for (int i = 0; i < 200; ++i) {
        EXPECT_FALSE(m.read(-1));
        m.fall();
    }
    EXPECT_EQ(m.top(kRightBar), 101);
    EXPECT_EQ(m.top(kLeftBar), 101);
    EXPECT_EQ(m.top(kRightMarker), 96);
    EXPECT_EQ(m.top(kLeftMarker), 96);
}

TEST(LevelMeterModel, FullScaleThenSilenceFalls) {
    LevelMeterModel m;
    EXPECT_TRUE(m.read(both(128, 128)));
    EXPECT_EQ(m.top(kRightMarker), -1);
    EXPECT_EQ(m.top(kLeftMarker), -1);
    EXPECT_EQ(m.top(kRightBar), 5);
    EXPECT_EQ(m.top(kLeftBar), 5);

    // Below the threshold nothing jumps; bars sink 2.5 and markers 1 per step until 96 or more.
    EXPECT_FALSE(m.read(both(64, 64)));
    m.fall();
    EXPECT_EQ(m.top(kLeftBar), 7.5);
    EXPECT_EQ(m.top(kLeftMarker), 0);
    for (int i = 0; i < 200; ++i)
        m.fall();
    EXPECT_EQ(m.top(kLeftBar), 97.5);
    EXPECT_EQ(m.top(kLeftMarker), 96);

    // Once the thresholds drop, any reading of 1 % or more moves the meter again.
    m.dropThresholds();
    EXPECT_TRUE(m.read(both(64, 0)));
    EXPECT_EQ(m.top(kLeftBar), 56);
    EXPECT_EQ(m.top(kLeftMarker), 50);
    EXPECT_EQ(m.top(kRightBar), 97.5) << "0 % is below the dropped threshold of 1";
}

TEST(LevelMeterModel, AOneSidedSignalShowsOnItsOwnSideOnly) {
    // Thresholds dropped: a silent side stays where it is, the loud side jumps.
    LevelMeterModel left;
    left.dropThresholds();
    EXPECT_TRUE(left.read(both(128, 0)));
    EXPECT_EQ(left.top(kLeftBar), 5);
    EXPECT_EQ(left.top(kLeftMarker), -1);
    EXPECT_EQ(left.top(kRightBar), 97);
    EXPECT_EQ(left.top(kRightMarker), 0);
    EXPECT_EQ(left.leftThreshold(), 101);
    EXPECT_EQ(left.rightThreshold(), 1);

    LevelMeterModel right;
    right.dropThresholds();
    EXPECT_TRUE(right.read(both(0, 127)));
    EXPECT_EQ(right.top(kRightBar), 6);
    EXPECT_EQ(right.top(kRightMarker), 0);
    EXPECT_EQ(right.top(kLeftBar), 97);
    EXPECT_EQ(right.top(kLeftMarker), 0);

    // Thresholds at their start of 0: the silent side drops below the area.
    LevelMeterModel fresh;
    fresh.read(both(64, 0));
    EXPECT_EQ(fresh.top(kLeftBar), 56);
    EXPECT_EQ(fresh.top(kRightBar), 106);
    EXPECT_EQ(fresh.top(kRightMarker), 100);
}

TEST(LevelMeter, ReadsTheChannelArmsTheDropOnceAndPaintsItsColumns) {
    FakeEngine engine;
    zen::audio::Handle channel = 0;
    LevelMeter meter(engine, [&channel] { return channel; });
    EXPECT_EQ(meter.size(), QSize(25, 100));
    EXPECT_TRUE(meter.readTimer().isActive());
    EXPECT_EQ(meter.readTimer().interval(), 30);
    EXPECT_EQ(meter.readTimer().timerType(), Qt::PreciseTimer);
    EXPECT_TRUE(meter.fallTimer().isActive());
    EXPECT_EQ(meter.fallTimer().interval(), 15);
    EXPECT_FALSE(meter.resetTimer().isActive());
    EXPECT_EQ(meter.resetTimer().interval(), 250);

    meter.readLevel();
    EXPECT_FALSE(meter.resetTimer().isActive()) << "no level, no threshold";
    EXPECT_EQ(meter.model().top(kLeftBar), 101);

    channel = 9;
    engine.level = both(128, 0);
    meter.readLevel();
    EXPECT_EQ(engine.askedChannel, 9u);
    EXPECT_TRUE(meter.resetTimer().isActive());
    const int remaining = meter.resetTimer().remainingTime();
    QTest::qWait(20);
    meter.readLevel();
    EXPECT_LT(meter.resetTimer().remainingTime(), remaining)
        << "switching the running drop on again leaves its countdown alone";
    meter.dropThresholds();
    EXPECT_FALSE(meter.resetTimer().isActive());
    EXPECT_EQ(meter.model().leftThreshold(), 1);

    const QImage shown = meter.grab().toImage();
    EXPECT_EQ(QColor(shown.pixel(12, 50)), QColor(0, 192, 0)) << "left bar at column 12";
    EXPECT_EQ(QColor(shown.pixel(22, 2)), QColor(255, 0, 0)) << "left marker at the top";
    EXPECT_NE(QColor(shown.pixel(5, 50)), QColor(0, 192, 0)) << "right side silent";
}
