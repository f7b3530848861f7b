#pragma once

#include "console/MemoryStatus.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace zen::console {

// What one row of the activity monitor shows: the share as " 37%" and the left edge of its bar,
// from -124 pixels (0 %, out of sight) to 0 (100 %).
struct MeterRow {
    QString percent;
    int barLeft = 0;
};

// lblCPU and shpCPUMeter for a load from the CPU meter; none (leave the row) outside 1..100.
std::optional<MeterRow> cpuRow(std::int32_t load);

// lblMem and shpMem, with the memory in use (lblMemTotal) and the total (lblMemUsed) as
// " 512 MB"; none (leave the row) when the total is 0, as for a status that could not be read.
struct MemoryRow {
    MeterRow share;
    QString inUse;
    QString total;
};
std::optional<MemoryRow> memoryRow(const MemoryStatus& status);

} // namespace zen::console
