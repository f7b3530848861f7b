#include "deck/FramePacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace {

// The frames of the clock come a frame apart, give or take the time their work takes: a paint
// that follows one is never put off because it came a little early.
constexpr qint64 kFrameSlackMs = 4;

} // namespace

FramePacer::FramePacer(QWidget& window)
    : QObject(&window), window_(window), nextFrame_(0, [this](int) { requestRepaint(); }) {
    nextFrame_.setSingleShot(true);
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
    if (since >= kFrameMs - kFrameSlackMs) {
        nextFrame_.stop();
        sincePaint_.start();
        return false;
    }
    // What is dirty stays dirty until the next frame paints it.
    if (!nextFrame_.isActive()) nextFrame_.start();
    return true;
}
