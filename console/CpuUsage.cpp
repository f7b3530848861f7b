#include "console/CpuUsage.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <utility>

namespace zen::console {

namespace {

constexpr std::int64_t ticksPerSecond = 10'000'000;
// Fixed point with 4 decimal places: a value of 1 is 10000.
constexpr std::int64_t one = 10'000;

struct IdleFigures {
    std::int64_t idle = 0; // summed over processors
    std::int64_t processors = 0;
};

// The processors' lines of /proc/stat ("cpu0 user nice system idle iowait ..."), in the kernel's
// clock ticks.
std::optional<IdleFigures> readIdle(const std::string& path) {
    static const std::int64_t kernelTick = ticksPerSecond / sysconf(_SC_CLK_TCK);
    std::ifstream stat(path);
    IdleFigures figures;
    std::string line;
    while (std::getline(stat, line)) {
        // The first line, "cpu ", sums all processors; each has a "cpuN" line of its own.
        if (line.size() < 4 || line.compare(0, 3, "cpu") != 0 ||
            !std::isdigit(static_cast<unsigned char>(line[3])))
            continue;
        std::istringstream fields(line);
        std::string name;
        std::int64_t user = 0, nice = 0, system = 0, idle = 0, iowait = 0;
        if (!(fields >> name >> user >> nice >> system >> idle >> iowait)) return std::nullopt;
        figures.idle += (idle + iowait) * kernelTick;
        ++figures.processors;
    }
    if (figures.processors == 0) return std::nullopt;
    return figures;
}

// a / b to the nearest whole, halves away from zero; b > 0.
std::int64_t roundedQuotient(__int128 a, __int128 b) {
    return static_cast<std::int64_t>(a >= 0 ? (2 * a + b) / (2 * b) : -((-2 * a + b) / (2 * b)));
}

// floor(a / b); b > 0.
std::int64_t floorQuotient(std::int64_t a, std::int64_t b) {
    return a / b - (a % b < 0 ? 1 : 0);
}

} // namespace

std::int64_t clsCPUUsageNT::monotonicNow() {
    using Tick = std::chrono::duration<std::int64_t, std::ratio<1, ticksPerSecond>>;
    return std::chrono::duration_cast<Tick>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

clsCPUUsageNT::clsCPUUsageNT(std::string statPath, Clock clock)
    : statPath_(std::move(statPath)), clock_(std::move(clock)) {}

void clsCPUUsageNT::Initialize() {
    const std::int64_t now = clock_();
    if (const auto figures = readIdle(statPath_)) {
        previousIdle_ = figures->idle;
        previousTime_ = now;
    }
}

std::int32_t clsCPUUsageNT::Query() {
    const auto figures = readIdle(statPath_);
    const std::int64_t now = clock_();
    if (!figures) return -1;
    // As fixed point, a count of 100 ns is a millisecond to 4 decimal places, so the raw
    // differences are the fixed-point values.
    std::int64_t idle = figures->idle - previousIdle_;
    const std::int64_t elapsed = now - previousTime_;
    if (elapsed != 0) idle = roundedQuotient(static_cast<__int128>(idle) * one, elapsed);
    // 100 - idle x 100 / processors + 0.5, then its integer part, on the fixed-point values.
    const std::int64_t scale = one * figures->processors;
    const std::int64_t load = floorQuotient(100 * scale - 100 * idle + scale / 2, scale);
    previousIdle_ = figures->idle;
    previousTime_ = now;
    // However odd the figures, a result out of range stays out of range.
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        load, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

bool clsCPUUsageNT::available() const {
    return readIdle(statPath_).has_value();
}

std::unique_ptr<CpuMeter> createCpuMeter() {
    auto usage = std::make_unique<clsCPUUsageNT>();
    if (usage->available()) return usage;
    return std::make_unique<clsCPUUsage>();
}

} // namespace zen::console
