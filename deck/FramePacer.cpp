#include "deck/FramePacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

FramePacer::FramePacer(QWidget& window) : QObject(&window), window_(window) {
    frameEnd_.setSingleShot(true);
    frameEnd_.setTimerType(Qt::PreciseTimer);
    frameEnd_.callOnTimeout([this] { requestRepaint(); });
}

FramePacer* FramePacer::install(QWidget& window) {
    auto* pacer = new FramePacer(window);
    window.installEventFilter(pacer);
    return pacer;
}

void FramePacer::requestRepaint() {
    QCoreApplication::postEvent(&window_, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
}

bool FramePacer::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &window_ || event->type() != QEvent::UpdateRequest)
        return QObject::eventFilter(watched, event);
    const qint64 since = sincePaint_.isValid() ? sincePaint_.elapsed() : kFrameMs;
    if (since >= kFrameMs) {
        frameEnd_.stop();
        sincePaint_.start();
        return false;
    }
    // What is dirty stays dirty until the frame's end paints it.
    if (!frameEnd_.isActive()) frameEnd_.start(static_cast<int>(kFrameMs - since));
    return true;
}
