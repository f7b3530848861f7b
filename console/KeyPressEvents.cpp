#include "console/KeyPressEvents.h"

#include "console/ScanCodes.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace zen::console {

void EventKeyPress::start(QWidget&) {
    QCoreApplication::instance()->installEventFilter(this);
}

void EventKeyPress::stop() {
    QCoreApplication::instance()->removeEventFilter(this);
    held_.reset();
    newest_ = {};
    keyCode_ = 0;
}

bool EventKeyPress::eventFilter(QObject*, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        // The same event passes here once for each object it is delivered to; a set of held
        // keys takes it as often as it comes.
        const auto* key = static_cast<const QKeyEvent*>(event);
        if (key->isAutoRepeat()) break;
        const int code = setOneScanCode(static_cast<int>(key->nativeScanCode()) - 8);
        if (code == 0) break;
        held_.set(static_cast<std::size_t>(code), event->type() == QEvent::KeyPress);
        newest_.observe(held_);
        break;
    }
    case QEvent::ApplicationDeactivate:
        // The releases go to another program from now on: no key may stay held here.
        held_.reset();
        newest_.observe(held_);
        break;
    default:
        break;
    }
    return false;
}

} // namespace zen::console
