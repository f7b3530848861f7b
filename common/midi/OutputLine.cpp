#include "common/midi/OutputLine.h"

#include "common/midi/CableSender.h"
#include "common/midi/HardwareOutput.h"

namespace zen::midi {

OutputLine::OutputLine() = default;

OutputLine::~OutputLine() {
    detach();
}

void OutputLine::attach(int device, std::unique_ptr<CableSender> cable,
                        std::unique_ptr<HardwareOutput> hardware) {
    detach();
    std::lock_guard lock(mutex_);
    device_ = device;
    cable_ = std::move(cable);
    hardware_ = std::move(hardware);
}

void OutputLine::detach() {
    std::unique_ptr<CableSender> cable;
    std::unique_ptr<HardwareOutput> hardware;
    {
        std::lock_guard lock(mutex_);
        device_ = -1;
        cable = std::move(cable_);
        hardware = std::move(hardware_);
    }
    // A cable still delivering to a slow reader may take a while to end: not on the line.
}

void OutputLine::send(int device, const ShortMessage& message) {
    std::lock_guard lock(mutex_);
    if (device < 0 || device != device_) return;
    if (cable_)
        cable_->send(message);
    else if (hardware_)
        hardware_->send(message);
}

} // namespace zen::midi
