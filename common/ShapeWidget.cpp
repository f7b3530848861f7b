#include "common/ShapeWidget.h"

#include <QPainter>

ShapeWidget::ShapeWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ShapeWidget::setFillColor(zen::Rgb color) {
    fill_ = color;
    update();
}

void ShapeWidget::setBorderColor(zen::Rgb color) {
    border_ = color;
    update();
}

void ShapeWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(zen::toQColor(border_));
    painter.setBrush(zen::toQColor(fill_));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
