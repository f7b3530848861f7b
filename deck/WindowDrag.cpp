#include "deck/WindowDrag.h"

#include <QMouseEvent>
#include <QWidget>

namespace zen::deck {

WindowDrag::WindowDrag(QWidget& titleLabel) : QObject(&titleLabel), label_(titleLabel) {}

WindowDrag* WindowDrag::install(QWidget& titleLabel) {
    auto* drag = new WindowDrag(titleLabel);
    titleLabel.installEventFilter(drag);
    return drag;
}

bool WindowDrag::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &label_) return false;
    if (event->type() == QEvent::MouseButtonPress) {
        pressed_ = static_cast<QMouseEvent*>(event)->position().toPoint();
    } else if (event->type() == QEvent::MouseMove) {
        const auto* move = static_cast<QMouseEvent*>(event);
        // The label moves with the window, so the pointer's offset on it is the distance still
        // to go.
        if (move->buttons() == Qt::LeftButton) {
            QWidget* window = label_.window();
            window->move(window->pos() + (move->position().toPoint() - pressed_));
        }
    }
    return false;
}

} // namespace zen::deck
