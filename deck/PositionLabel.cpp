#include "deck/PositionLabel.h"

#include <QEvent>
#include <QPainter>

const QStaticText& PositionLabel::glyph(QChar c) {
    auto it = glyphs_.find(c);
    if (it == glyphs_.end()) {
        QStaticText text{QString(c)};
        text.setTextFormat(Qt::PlainText);
        text.prepare(QTransform(), font());
        it = glyphs_.insert(c, text);
    }
    return *it;
}

void PositionLabel::paintEvent(QPaintEvent*) {
    const QString shown = text();
    qreal width = 0;
    for (QChar c : shown)
        width += glyph(c).size().width();
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    const qreal top = (height() - fontMetrics().height()) / 2.0;
    qreal x = (this->width() - width) / 2.0;
    for (QChar c : shown) {
        const QStaticText& g = glyph(c);
        painter.drawStaticText(QPointF(x, top), g);
        x += g.size().width();
    }
}

void PositionLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) glyphs_.clear();
    QLabel::changeEvent(event);
}
