#pragma once

#include <cstdint>
#include <string>

namespace zen::console {

// The physical memory status of the activity monitor, in bytes.
struct MemoryStatus {
    std::uint64_t total = 0;
    std::uint64_t available = 0;
};

// MemTotal and MemAvailable of /proc/meminfo; a total of 0 when either cannot be read.
MemoryStatus readMemoryStatus(const std::string& path = "/proc/meminfo");

} // namespace zen::console
