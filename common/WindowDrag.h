#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

namespace zen {

// Lets the user drag a window by its title label (the deck's lblWindowTitle, the console's
// lblWindowTittle): a press remembers where the pointer and the window are, and moves with the
// left button (alone) held keep the window at the same distance from the pointer.
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
};

} // namespace zen
