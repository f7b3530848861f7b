#include "console/ActivityRows.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

using namespace zen::console;

TEST(ActivityRowsTest, TheCpuRowShowsLoadsFrom1To100AndLeavesTheRowOtherwise) {
    const std::tuple<std::int32_t, const char*, int> rows[] = {
        {37, " 37%", -78}, {100, " 100%", 0}, {1, " 1%", -123}, {0, nullptr, 0},
        {-1, nullptr, 0},  {101, nullptr, 0}}; // no percent: the row stays as it was
    for (const auto& [load, percent, barLeft] : rows) {
        const auto row = cpuRow(load);
        ASSERT_EQ(row.has_value(), percent != nullptr) << load;
        if (!row) continue;
        EXPECT_EQ(std::pair(row->percent, row->barLeft), std::pair(QString(percent), barLeft));
    }
}

TEST(ActivityRowsTest, TheMemoryStatusComesFromMeminfoAndAnUnreadableOneLeavesTheRow) {
    QTemporaryDir dir;
    const auto write = [&](const char* name, const char* text) {
        std::ofstream(dir.filePath(name).toStdString()) << text;
        return readMemoryStatus(dir.filePath(name).toStdString());
    };
    const MemoryStatus status = write("meminfo", "MemTotal:         524288 kB\n"
                                                 "MemFree:            1000 kB\n"
                                                 "MemAvailable:     131072 kB\n");
    EXPECT_EQ(status.total, 524288u * 1024);
    EXPECT_EQ(status.available, 131072u * 1024);
    EXPECT_FALSE(memoryRow(readMemoryStatus(dir.filePath("missing").toStdString())));
    EXPECT_FALSE(memoryRow(write("partial", "MemTotal: 524288 kB\nMemFree: 1000 kB\n")));
    EXPECT_GT(readMemoryStatus().total, 0u) << "this machine's own figures read";
}
