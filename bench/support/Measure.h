#pragma once

#include <QtGlobal>
#include <chrono>
#include <functional>
#include <vector>

// The clocks and the memory figure the benchmarks report.
namespace zen::bench {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start);
// The value below which the share `p` (0 to 1) of the values lie, the nearest one; -1 when none.
double percentile(std::vector<double> values, double p);
// Resident memory of this process or of another, in MiB; -1 when it cannot be read.
double rssMb();
double rssMb(qint64 pid);
// Processor time, user plus system, of this process and of the calling thread.
double processCpuSeconds();
double threadCpuSeconds();

// User plus system time of another process, in clock ticks; -1 when it cannot be read.
long long cpuTicks(qint64 pid);
// The share of one core that each process used while `during` ran, in percent.
std::vector<double> cpuPercentsDuring(const std::vector<qint64>& pids,
                                      const std::function<void()>& during);
// The same for one process over the next `seconds`, this thread asleep.
double cpuPercentOver(qint64 pid, int seconds);

} // namespace zen::bench
