#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

namespace zen::deck {

// Lets the user drag the deck window by its title label lblWindowTitle: a press remembers where
// the pointer is on the label, and moves with the left button (alone) held shift the window by
// how far the pointer has got from there.
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
    QPoint pressed_;
};

} // namespace zen::deck
