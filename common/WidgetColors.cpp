#include "common/WidgetColors.h"

#include <QWidget>

namespace zen {

void setBackground(QWidget* widget, Rgb color) {
    // The role the widget fills with: Window for most, Button for check boxes and buttons.
    QPalette palette = widget->palette();
    palette.setColor(widget->backgroundRole(), toQColor(color));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace zen
