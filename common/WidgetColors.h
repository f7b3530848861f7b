#pragma once

#include "common/Colors.h"

class QWidget;

namespace zen {

// Fills the widget's background with the colour.
void setBackground(QWidget* widget, Rgb color);

} // namespace zen
