#include "console/Controls.h"

#include "common/ZenButton.h"

#include <QLabel>

namespace controls {

QLabel* label(QWidget* parent, const QString& text, const QRect& place, Qt::Alignment align) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(place);
    l->setFixedSize(place.size());
    l->setTextFormat(Qt::PlainText);
    l->setAlignment(align);
    return l;
}

QLabel* heading(QWidget* parent, const QString& text, const QRect& place, Qt::Alignment align) {
    QLabel* l = label(parent, text, place, align);
    QFont font = l->font();
    font.setBold(true);
    l->setFont(font);
    return l;
}

ZenButton* button(QWidget* parent, const QString& caption, const QRect& place, int dot) {
    auto* b = new ZenButton(parent);
    b->setGeometry(place);
    b->setCaption(caption);
    const auto size = static_cast<std::int16_t>(dot);
    b->setDotX(size);
    b->setDotY(size);
    b->setDotWidth(size);
    b->setDotHeight(size);
    return b;
}

} // namespace controls
