#pragma once

#include "common/midi/ShortMessage.h"

#include <memory>
#include <mutex>

namespace zen::midi {

class CableSender;
class HardwareOutput;

// What an output port sends through: the cable or hardware port it holds open, and its device
// number. The port's own (window) thread attaches and detaches; any thread may send, the
// console's key thread included, so a send never meets a port half closed. A send holds the line
// only while it hands the message over, which never waits on a receiver.
class OutputLine {
public:
    OutputLine();
    ~OutputLine();
    OutputLine(const OutputLine&) = delete;
    OutputLine& operator=(const OutputLine&) = delete;

    // The port now holds `device` through one of the two.
    void attach(int device, std::unique_ptr<CableSender> cable,
                std::unique_ptr<HardwareOutput> hardware);
    // Lets go of what was attached; its last messages drain after the line is free again.
    void detach();
    // Any thread: sends when `device` is the one attached, else drops the message.
    void send(int device, const ShortMessage& message);

private:
    std::mutex mutex_;
    int device_ = -1;
    std::unique_ptr<CableSender> cable_;
    std::unique_ptr<HardwareOutput> hardware_;
};

} // namespace zen::midi
