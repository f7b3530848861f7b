#include "console/KeyPress.h"

#include "common/DesktopPlatform.h"
#include "console/KeyPressEvents.h"
#include "console/KeyPressPortal.h"
#include "console/KeyPressX11.h"
#include "console/KeyReading.h"

#include <QGuiApplication>

namespace zen::console {

std::unique_ptr<KeyPress> createKeyPress() {
    std::vector<std::unique_ptr<KeySource>> sources;
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        sources.push_back(std::make_unique<X11KeySource>());
    else
        sources.push_back(std::make_unique<EventKeySource>());
    // Only a Wayland session hides keys from X11: elsewhere the shortcuts would only take keys
    // away from other programs.
    if (zen::waylandSession()) sources.push_back(std::make_unique<PortalKeySource>());
    return std::make_unique<KeyReading>(std::move(sources));
}

} // namespace zen::console
