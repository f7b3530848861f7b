#pragma once

#include <chrono>

// The clocks and the memory figure the benchmarks report.
namespace zen::bench {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start);
// Resident memory of this process, in MiB.
double rssMb();
// Processor time, user plus system, of this process and of the calling thread.
double processCpuSeconds();
double threadCpuSeconds();

} // namespace zen::bench
