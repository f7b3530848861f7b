#pragma once

#include <cstdint>
#include <memory>

namespace zen::console {

// The CPU meter object of the activity monitor: the processor load since the previous query.
class CpuMeter {
public:
    virtual ~CpuMeter() = default;

    virtual void Initialize() = 0;
    // The load in percent; a value outside 1..100 when none is available.
    virtual std::int32_t Query() = 0;
    virtual void Terminate() = 0;
};

// clsCPUUsageNT when the kernel reports per-processor idle time, clsCPUUsage otherwise.
std::unique_ptr<CpuMeter> createCpuMeter();

} // namespace zen::console
