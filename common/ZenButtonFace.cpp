#include "common/ZenButtonFace.h"

#include "common/ZenButton.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace {

// Squares and circles take the smaller side of their box and sit centred in it.
QRectF shapeBox(std::int32_t shape, const QRect& box) {
    QRectF r(box);
    if (shape == ZenButton::Square || shape == ZenButton::Circle ||
        shape == ZenButton::RoundedSquare) {
        const qreal side = std::min(r.width(), r.height());
        r = QRectF(r.x() + (r.width() - side) / 2, r.y() + (r.height() - side) / 2, side, side);
    }
    return r;
}

QPainterPath shapePath(std::int32_t shape, const QRectF& r, qreal cornerRadius) {
    QPainterPath path;
    switch (shape) {
    case ZenButton::Oval:
    case ZenButton::Circle:
        path.addEllipse(r);
        break;
    case ZenButton::RoundedRectangle:
    case ZenButton::RoundedSquare:
        path.addRoundedRect(r, cornerRadius, cornerRadius);
        break;
    default:
        path.addRect(r);
        break;
    }
    return path;
}

// The border lies inside the box, so a shape covers exactly the pixels of its box.
void drawShape(QPainter& painter, std::int32_t shape, const QRect& box, zen::Rgb fill,
               zen::Rgb border, int borderWidth) {
    if (box.width() <= 0 || box.height() <= 0) return;
    const QRectF outer = shapeBox(shape, box);
    const qreal radius = std::min(outer.width(), outer.height()) / 4;
    const qreal b = std::max(borderWidth, 0);
    const QRectF inner = outer.adjusted(b, b, -b, -b);
    if (b > 0) painter.fillPath(shapePath(shape, outer, radius), zen::toQColor(border));
    if (inner.width() > 0 && inner.height() > 0)
        painter.fillPath(shapePath(shape, inner, std::max(radius - b, 0.0)), zen::toQColor(fill));
}

} // namespace

ZenButtonFace::ZenButtonFace(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PClip"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void ZenButtonFace::setLook(const Look& look) {
    if (look == look_) return;
    look_ = look;
    update();
}

void ZenButtonFace::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), zen::toQColor(look_.back));
    painter.setRenderHint(QPainter::Antialiasing);
    drawShape(painter, look_.shape, look_.rect, look_.fill, look_.border, look_.borderWidth);
    drawShape(painter, look_.dotShape, look_.dotRect, look_.dotFill, look_.dotFill, 0);
}
