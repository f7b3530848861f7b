#include "common/Colors.h"

namespace zen {

QColor toQColor(Rgb c) {
    return QColor(redOf(c), greenOf(c), blueOf(c));
}

Rgb fromQColor(const QColor& c) {
    return rgb(c.red(), c.green(), c.blue());
}

} // namespace zen
