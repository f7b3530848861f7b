#include "common/WindowDrag.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace zen {

WindowDrag::WindowDrag(QWidget& titleLabel) : QObject(&titleLabel), label_(titleLabel) {}

WindowDrag* WindowDrag::install(QWidget& titleLabel) {
    auto* drag = new WindowDrag(titleLabel);
    titleLabel.installEventFilter(drag);
    return drag;
}

bool WindowDrag::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &label_) return false;
    if (event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        pressedAt_ = press->globalPosition().toPoint();
        windowAt_ = label_.window()->pos();
        QWindow* handle = label_.window()->windowHandle();
        systemMove_ = press->buttons() == Qt::LeftButton && handle && handle->startSystemMove();
    } else if (event->type() == QEvent::MouseMove) {
        const auto* move = static_cast<QMouseEvent*>(event);
        // Measured on the screen, not on the label: the window manager moves the window (and the
        // label with it) a little later, and the label's own coordinates would lag behind.
        if (!systemMove_ && move->buttons() == Qt::LeftButton)
            label_.window()->move(windowAt_ + move->globalPosition().toPoint() - pressedAt_);
    }
    return false;
}

} // namespace zen
