#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace zen::desktop {

// A Wayland session nested in the X server that DISPLAY names: weston on its X11 back end, with
// XWayland for X11 programs, in a runtime folder of its own. Ended with this object.
class NestedWayland {
public:
    NestedWayland() = default;
    ~NestedWayland();
    NestedWayland(const NestedWayland&) = delete;
    NestedWayland& operator=(const NestedWayland&) = delete;

    // Starts the compositor and waits (10 s at most) until XWayland listens; false, and what
    // weston said in `log`, when it does not.
    bool start(QString& log);
    // XWayland's display (":1"), and the Wayland display as a path.
    QString xwaylandDisplay() const { return xwayland_; }
    QString waylandDisplay() const { return runtime_.filePath("zentari"); }

private:
    QTemporaryDir runtime_;
    QProcess weston_;
    QString xwayland_;
};

} // namespace zen::desktop
