#pragma once

#include "common/midi/MIDIOutput.h"

#include <QTimer>

namespace zen::bench {

// An external DJ controller on one cable, as the console's external input hears it: Control
// Change messages of controller 7, one at a time or streamed at a steady rate while the caller
// runs the event loop.
class ControllerStream {
public:
    explicit ControllerStream(qint16 cable);

    void send();
    void start(int perSecond);
    void stop() { timer_.stop(); }

private:
    qint16 cable_;
    zen::MIDIOutput output_;
    QTimer timer_;
    int value_ = 0;
};

// Runs the event loop for `ms`, so timers, MIDI handlers and the like run meanwhile.
void runEventsFor(int ms);

} // namespace zen::bench
