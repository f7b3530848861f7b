#include "console/ActivityRows.h"

#include <algorithm>

namespace zen::console {

namespace {

constexpr int barWidth = 124;
constexpr std::uint64_t megabyte = 1048576;

MeterRow meterRow(int percent) {
    return {QStringLiteral(" %1%").arg(percent), (percent * barWidth + 50) / 100 - barWidth};
}

QString megabytes(std::uint64_t bytes) {
    return QStringLiteral(" %1 MB").arg(bytes / megabyte);
}

} // namespace

std::optional<MeterRow> cpuRow(std::int32_t load) {
    if (load < 1 || load > 100) return std::nullopt;
    return meterRow(load);
}

std::optional<MemoryRow> memoryRow(const MemoryStatus& status) {
    if (status.total == 0) return std::nullopt;
    const std::uint64_t available = std::min(status.available, status.total);
    const auto share = static_cast<int>(100 - available * 100 / status.total);
    return MemoryRow{meterRow(share), megabytes(status.total - available), megabytes(status.total)};
}

} // namespace zen::console
