#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

namespace zen {

// Lets the user drag a window by its title label (the deck's lblWindowTitle, the console's
// lblWindowTittle) with the left button. A press hands the move to the window system, which is
// the only way on Wayland and lets an X11 window manager move the window as its own title bar
// would; where the platform refuses, the window moves itself: the press remembers where the
// pointer and the window are, and moves with the left button (alone) held keep the window at
// the same distance from the pointer.
class WindowDrag : public QObject {
    Q_OBJECT
public:
    // Installs the drag on the label; it lives as long as the label.
    static WindowDrag* install(QWidget& titleLabel);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit WindowDrag(QWidget& titleLabel);

    QWidget& label_;
    QPoint pressedAt_;
    QPoint windowAt_;
    // The window system moves the window for this press.
    bool systemMove_ = false;
};

} // namespace zen
