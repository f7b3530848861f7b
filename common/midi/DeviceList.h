#pragma once

#include "common/midi/HardwarePorts.h"

#include <optional>
#include <string>

namespace zen::midi {

// The device numbers both programs use: 0..7 are the cables, hardware ports follow. The hardware
// part is read again whenever the count is asked for (the start of every walk over the list), so
// the names and the actions that follow see the same numbering.
enum class Direction { Input, Output };

int deviceCount(Direction direction);
// The count over the hardware ports as last read (read now only if never before): no MIDI service
// is asked, so it is quick.
int listedDeviceCount(Direction direction);
// Empty for a number outside the list.
std::string deviceName(Direction direction, int device);
bool isDevice(Direction direction, int device);
// The hardware port behind a number past the cables.
std::optional<HardwarePort> hardwarePort(Direction direction, int device);

} // namespace zen::midi
