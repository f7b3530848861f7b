#include "console/ActivityRows.h"
#include "console/CpuUsage.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

using namespace zen::console;

// The load is the share of the time passed that the processors worked, idle and I/O wait apart;
// a failed read gives -1 and keeps the previous sample.
TEST(CpuUsageTest, LoadIsTheShareOfTheTimePassedThatTheProcessorsWorked) {
    constexpr std::int64_t second = 10'000'000;
    const long hz = sysconf(_SC_CLK_TCK);
    QTemporaryDir dir;
    const std::string path = dir.filePath("stat").toStdString();
    std::int64_t now = 5 * second;
    clsCPUUsageNT meter{path, [&] { return now; }};
    // Idle and I/O wait of the first processor, in the kernel's ticks; the second stays idle.
    const auto write = [&](long idle, long iowait) {
        std::ofstream(path) << "cpu  1 2 3 4 5 6 7 8 0 0\ncpu0 50 0 40 " << idle << " " << iowait
                            << " 0 0 0 0 0\ncpu1 50 0 40 2000 20 0 0 0 0 0\nintr 12345 0 0\n";
    };
    write(1000, 10);
    meter.Initialize();
    now += second;
    write(1000 + hz, 10);
    EXPECT_EQ(meter.Query(), 50) << "one of two processors idle";
    now += second;
    write(1000 + hz + hz / 4, 10 + hz / 4);
    EXPECT_EQ(meter.Query(), 75) << "idle, waiting for I/O included, half the time passed";
    EXPECT_EQ(meter.Query(), 100) << "no time passed and no idle time";

    for (const std::string broken : {"intr 1\n", "cpu0 12 x\n", ""}) {
        if (broken.empty())
            std::remove(path.c_str());
        else
            std::ofstream(path) << broken;
        now += second;
        EXPECT_EQ(meter.Query(), -1) << (broken.empty() ? "missing" : broken);
    }
    now += second;
    write(1000 + hz + hz / 4 + 4 * hz, 10 + hz / 4);
    EXPECT_EQ(meter.Query(), 50) << "measured over the 4 s since the last good sample";
    EXPECT_TRUE(clsCPUUsageNT().available()) << "this kernel's own figures read";
}

// Loads from 1 to 100 % and a readable memory status fill their rows; anything else leaves the
// row as it was.
TEST(ActivityRowsTest, RowsShowWhatCanBeReadAndLeaveTheRestAsItWas) {
    for (const auto& [load, percent] : {std::pair{100, " 100%"}, {1, " 1%"}, {0, ""}, {101, ""}})
        EXPECT_EQ(cpuRow(load) ? cpuRow(load)->percent : QString(), QString(percent)) << load;
    QTemporaryDir dir;
    const auto read = [&](const char* name, const char* text) {
        if (text) std::ofstream(dir.filePath(name).toStdString()) << text;
        return readMemoryStatus(dir.filePath(name).toStdString());
    };
    const MemoryStatus status = read("meminfo", "MemTotal:         524288 kB\n"
                                                "MemFree:            1000 kB\n"
                                                "MemAvailable:     131072 kB\n");
    EXPECT_EQ(status.total, 524288u * 1024);
    EXPECT_EQ(status.available, 131072u * 1024);
    EXPECT_FALSE(memoryRow(read("missing", nullptr)));
    EXPECT_FALSE(memoryRow(read("partial", "MemTotal: 524288 kB\nMemFree: 1000 kB\n")));
    EXPECT_GT(readMemoryStatus().total, 0u) << "this machine's own figures read";
}
