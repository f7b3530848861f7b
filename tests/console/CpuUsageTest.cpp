#include "console/CpuUsage.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

using zen::console::clsCPUUsageNT;

namespace {

constexpr std::int64_t second = 10'000'000;
const long hz = sysconf(_SC_CLK_TCK);

class CpuUsageTest : public ::testing::Test {
protected:
    // Idle and iowait of each processor, in the kernel's ticks.
    void writeStat(const std::vector<std::pair<long, long>>& processors) {
        std::string text = "cpu  1 2 3 4 5 6 7 8 0 0\n";
        for (std::size_t i = 0; i < processors.size(); ++i)
            text += "cpu" + std::to_string(i) + " 50 0 40 " + std::to_string(processors[i].first) +
                    " " + std::to_string(processors[i].second) + " 0 0 0 0 0\n";
        std::ofstream(path) << text << "intr 12345 0 0\nctxt 999\n";
    }

    QTemporaryDir dir;
    std::string path = dir.filePath("stat").toStdString();
    std::int64_t now = 5 * second;
    clsCPUUsageNT meter{path, [this] { return now; }};
};

} // namespace

TEST_F(CpuUsageTest, LoadIsTheShareOfTheTimePassedThatTheProcessorsWorked) {
    writeStat({{1000, 10}, {2000, 20}});
    meter.Initialize();
    now += second;
    writeStat({{1000 + hz, 10}, {2000, 20}});
    EXPECT_EQ(meter.Query(), 50) << "one of two processors idle";
    now += second;
    writeStat({{1000 + hz + hz / 4, 10 + hz / 4}, {2000, 20}});
    EXPECT_EQ(meter.Query(), 75) << "idle, waiting for I/O included, half the time passed";
    EXPECT_EQ(meter.Query(), 100) << "no time passed and no idle time";

    EXPECT_TRUE(clsCPUUsageNT().available()) << "this kernel's own figures read";
}

TEST_F(CpuUsageTest, AFailedReadGivesMinusOneAndKeepsThePreviousSample) {
    writeStat({{1000, 0}, {1000, 0}});
    meter.Initialize();
    for (const std::string broken : {"intr 1\n", "cpu0 12 x\n", ""}) {
        if (broken.empty())
            std::remove(path.c_str());
        else
            std::ofstream(path) << broken;
        now += second;
        EXPECT_EQ(meter.Query(), -1) << (broken.empty() ? "missing" : broken);
    }
    now += second;
    writeStat({{1000 + 4 * hz, 0}, {1000, 0}});
    EXPECT_EQ(meter.Query(), 50) << "measured over the 4 s since the last good sample";
}
