#pragma once

#include <QRect>
#include <QString>
#include <Qt>

class QLabel;
class QWidget;
class ZenButton;

// The label and button makers of the console's two windows.
namespace controls {

// Plain text, fixed size: a label whose text changes repaints alone.
QLabel* label(QWidget* parent, const QString& text, const QRect& place,
              Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter);
QLabel* heading(QWidget* parent, const QString& text, const QRect& place,
                Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter);
// A zenButton with a square dot of `dot` pixels, as far from the corner as it is wide.
ZenButton* button(QWidget* parent, const QString& caption, const QRect& place, int dot);

} // namespace controls
