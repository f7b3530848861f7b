#pragma once

#include "console/CpuMeter.h"

#include <cstdint>
#include <functional>
#include <string>

namespace zen::console {

// clsCPUUsageNT: the load from the kernel's idle time of all processors (idle and waiting for
// I/O) against the time that passed, so one busy core of two reads 50 %. Times are counts of
// 100 ns.
class clsCPUUsageNT final : public CpuMeter {
public:
    using Clock = std::function<std::int64_t()>;

    // The monotonic clock: a change of the time of day must not read as a burst of load.
    static std::int64_t monotonicNow();

    explicit clsCPUUsageNT(std::string statPath = "/proc/stat", Clock clock = monotonicNow);

    void Initialize() override;
    std::int32_t Query() override;
    void Terminate() override {}

    // Whether the kernel's figures can be read at all.
    bool available() const;

private:
    std::string statPath_;
    Clock clock_;
    std::int64_t previousIdle_ = 0;
    std::int64_t previousTime_ = 0;
};

// clsCPUUsage: for a system that keeps no idle time; there is never a load to show.
class clsCPUUsage final : public CpuMeter {
public:
    void Initialize() override {}
    std::int32_t Query() override { return -1; }
    void Terminate() override {}
};

} // namespace zen::console
