#pragma once

#include <QByteArray>
#include <QStringList>

namespace zen {

// Whether the desktop session is a Wayland one.
bool waylandSession();

// The platform both programs ask Qt for, through QT_QPA_PLATFORM, which the decks the console
// starts inherit. When the user chose none: in a Wayland session that offers X11 through
// XWayland, X11 first (the keyboard is read and the windows placed through it, so keys work while
// any Zentari or X11 window has the focus), Wayland if XWayland does not answer after all. A
// platform given with -platform is the user's choice, and is handed on so the decks follow it.
// Empty to leave the environment as it is: the user set QT_QPA_PLATFORM, or the session is not
// both.
QByteArray preferredPlatform(const QByteArray& qpaPlatform, const QByteArray& waylandDisplay,
                             const QByteArray& display, const QStringList& arguments);

// Applies that choice to this process (and the programs it starts) before the application
// object is made.
void choosePlatform(int argc, char** argv);

} // namespace zen
