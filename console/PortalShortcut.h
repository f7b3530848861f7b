#pragma once

#include <QDBusArgument>
#include <QMetaType>
#include <QString>
#include <QVariantMap>

namespace zen::console {

// One shortcut as the desktop's GlobalShortcuts portal takes and gives them (D-Bus "(sa{sv})"):
// an id and its properties.
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut);
const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut);

} // namespace zen::console

Q_DECLARE_METATYPE(zen::console::PortalShortcut)
