#include "console/KeyPress.h"

#include "console/KeyPressEvents.h"
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
    return std::make_unique<KeyReading>(std::move(sources));
}

} // namespace zen::console
