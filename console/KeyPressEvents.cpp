#include "console/KeyPressEvents.h"

#include "console/ScanCodes.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace zen::console {

void EventKeySource::start(QWidget&, KeyThread& thread, Report report, Note) {
    thread_ = &thread;
    report_ = std::move(report);
    QCoreApplication::instance()->installEventFilter(this);
}

void EventKeySource::stop(KeyThread&) {
    QCoreApplication::instance()->removeEventFilter(this);
    thread_ = nullptr;
    held_.reset();
}

QString EventKeySource::reading() const {
    return thread_ ? QStringLiteral("console windows only") : QString();
}

void EventKeySource::changed() {
    if (thread_) thread_->post([report = report_, held = held_] { report(held); });
}

bool EventKeySource::eventFilter(QObject*, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        // The same event passes here once for each object it is delivered to; a set of held
        // keys takes it as often as it comes.
        const auto* key = static_cast<const QKeyEvent*>(event);
        if (key->isAutoRepeat()) break;
        const int code = setOneScanCode(static_cast<int>(key->nativeScanCode()) - 8);
        if (code == 0) break;
        const bool down = event->type() == QEvent::KeyPress;
        if (held_[static_cast<std::size_t>(code)] == down) break;
        held_.set(static_cast<std::size_t>(code), down);
        changed();
        break;
    }
    case QEvent::ApplicationDeactivate:
        // The releases go to another program from now on: no key may stay held here.
        if (held_.none()) break;
        held_.reset();
        changed();
        break;
    default:
        break;
    }
    return false;
}

} // namespace zen::console
