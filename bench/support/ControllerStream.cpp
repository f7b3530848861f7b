#include "ControllerStream.h"

#include <QEventLoop>

namespace zen::bench {

ControllerStream::ControllerStream(qint16 cable) : cable_(cable) {
    output_.action(cable_, zen::MidiAction::Open);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { send(); });
}

void ControllerStream::send() {
    value_ = (value_ + 1) & 127;
    output_.send(cable_, 176, 7, static_cast<qint16>(value_));
}

void ControllerStream::start(int perSecond) {
    timer_.start(1000 / perSecond);
}

void runEventsFor(int ms) {
    if (ms <= 0) return;
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace zen::bench
