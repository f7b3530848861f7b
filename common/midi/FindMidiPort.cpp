#include "common/midi/FindMidiPort.h"

#include "common/midi/DeviceList.h"

namespace {

qint16 findLast(zen::midi::Direction direction, const QString& portName, bool readAgain = true) {
    const std::string name = portName.toStdString();
    qint16 found = -1;
    const int count =
        readAgain ? zen::midi::deviceCount(direction) : zen::midi::listedDeviceCount(direction);
    for (int device = 0; device < count; ++device)
        if (zen::midi::deviceName(direction, device) == name) found = static_cast<qint16>(device);
    return found;
}

} // namespace

qint16 FindMidiIn(const QString& portName) {
    return findLast(zen::midi::Direction::Input, portName);
}

qint16 FindMidiOut(const QString& portName) {
    return findLast(zen::midi::Direction::Output, portName);
}

qint16 FindListedMidiOut(const QString& portName) {
    return findLast(zen::midi::Direction::Output, portName, false);
}
