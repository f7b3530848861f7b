#include "deck/displays/PacedTimer.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>
#include <numeric>

using zen::deck::PacedTimer;

TEST(PacedTimerTest, TicksKeepTheirScheduleOnOneWakeAFrameAndNeverComeEarly) {
    std::vector<int> fast;
    int shots = 0;
    PacedTimer every5ms(5, [&](int ticks) { fast.push_back(ticks); });
    PacedTimer once(0, [&](int) { ++shots; });
    once.setSingleShot(true);
    QElapsedTimer clock;
    clock.start();
    every5ms.start();
    once.start();
    QTest::qWait(200);
    const qint64 elapsed = clock.elapsed();
    const int ticks = std::accumulate(fast.begin(), fast.end(), 0);
    EXPECT_LE(ticks * 5, elapsed) << "a tick came before it was due";
    EXPECT_GE(ticks, 20) << "ticks were lost";
    EXPECT_LT(fast.size(), static_cast<std::size_t>(ticks)) << "a wake-up for every tick";
    EXPECT_EQ(shots, 1);
    EXPECT_FALSE(once.isActive());

    every5ms.stop();
    const std::size_t calls = fast.size();
    QTest::qWait(50);
    EXPECT_EQ(fast.size(), calls) << "a stopped timer ticked";
}
