#include "common/midi/DeviceList.h"

#include "common/midi/CableFolder.h"

#include <vector>

namespace zen::midi {

namespace {

struct Cache {
    bool read = false;
    std::vector<HardwarePort> ports;
};

Cache& cache(Direction direction) {
    static Cache inputs;
    static Cache outputs;
    return direction == Direction::Input ? inputs : outputs;
}

void refresh(Direction direction) {
    Cache& c = cache(direction);
    c.ports = direction == Direction::Input ? listHardwareInputs() : listHardwareOutputs();
    c.read = true;
}

const std::vector<HardwarePort>& ports(Direction direction) {
    if (!cache(direction).read) refresh(direction);
    return cache(direction).ports;
}

} // namespace

int deviceCount(Direction direction) {
    refresh(direction);
    return kCableCount + static_cast<int>(cache(direction).ports.size());
}

int listedDeviceCount(Direction direction) {
    return kCableCount + static_cast<int>(ports(direction).size());
}

bool isDevice(Direction direction, int device) {
    if (device < 0) return false;
    if (device < kCableCount) return true;
    return static_cast<std::size_t>(device - kCableCount) < ports(direction).size();
}

std::string deviceName(Direction direction, int device) {
    if (!isDevice(direction, device)) return {};
    if (device < kCableCount) return cableName(device + 1);
    return ports(direction)[static_cast<std::size_t>(device - kCableCount)].name;
}

std::optional<HardwarePort> hardwarePort(Direction direction, int device) {
    if (device < kCableCount || !isDevice(direction, device)) return std::nullopt;
    return ports(direction)[static_cast<std::size_t>(device - kCableCount)];
}

} // namespace zen::midi
