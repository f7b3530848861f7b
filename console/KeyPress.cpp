#include "console/KeyPress.h"

#include "console/KeyPressEvents.h"
#include "console/KeyPressX11.h"

#include <QGuiApplication>

namespace zen::console {

std::unique_ptr<KeyPress> createKeyPress() {
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        return std::make_unique<X11KeyPress>();
    return std::make_unique<EventKeyPress>();
}

} // namespace zen::console
