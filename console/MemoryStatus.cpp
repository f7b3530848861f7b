#include "console/MemoryStatus.h"

#include <fstream>
#include <sstream>

namespace zen::console {

MemoryStatus readMemoryStatus(const std::string& path) {
    std::ifstream meminfo(path);
    std::uint64_t total = 0, available = 0;
    bool haveTotal = false, haveAvailable = false;
    std::string line;
    while (std::getline(meminfo, line)) {
        // "MemTotal:       16318480 kB"
        std::istringstream fields(line);
        std::string name, unit;
        std::uint64_t kilobytes = 0;
        if (!(fields >> name >> kilobytes >> unit) || unit != "kB") continue;
        if (name == "MemTotal:") {
            total = kilobytes * 1024;
            haveTotal = true;
        } else if (name == "MemAvailable:") {
            available = kilobytes * 1024;
            haveAvailable = true;
        }
    }
    if (!haveTotal || !haveAvailable) return {};
    return {total, available};
}

} // namespace zen::console
