#include "common/DesktopPlatform.h"

#include <QtGlobal>

namespace zen {

bool waylandSession() {
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           qgetenv("XDG_SESSION_TYPE") == QByteArrayLiteral("wayland");
}

QByteArray preferredPlatform(const QByteArray& qpaPlatform, const QByteArray& waylandDisplay,
                             const QByteArray& display, const QStringList& arguments) {
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        for (const QLatin1String flag : {QLatin1String("-platform"), QLatin1String("--platform")}) {
            if (argument == flag && i + 1 < arguments.size()) return arguments[i + 1].toLocal8Bit();
            if (argument.startsWith(flag + QLatin1Char('=')))
                return argument.mid(flag.size() + 1).toLocal8Bit();
        }
    }
    if (!qpaPlatform.isEmpty() || waylandDisplay.isEmpty() || display.isEmpty()) return {};
    return QByteArrayLiteral("xcb;wayland");
}

void choosePlatform(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const QByteArray platform = preferredPlatform(
        qgetenv("QT_QPA_PLATFORM"), qgetenv("WAYLAND_DISPLAY"), qgetenv("DISPLAY"), arguments);
    if (!platform.isEmpty()) qputenv("QT_QPA_PLATFORM", platform);
}

} // namespace zen
