#pragma once

#include "deck/displays/PacedTimer.h"

#include <QElapsedTimer>
#include <QObject>

class QWidget;

// Paints a window at most once a frame of the screen. The deck's timers change what it shows up
// to a hundred times a second each (position 10 ms, meter 15 ms, spectrum), and every repaint of
// the window costs a flush to the display server; gathered into one repaint per frame they cost
// a third of that, and the eye sees the same. A repaint asked for within a frame of the last one
// is put off to the next frame of the window thread's frame clock, where everything that changed
// meanwhile is painted at once, in the wake-up that runs the displays' timers.
class FramePacer : public QObject {
public:
    static constexpr int kFrameMs = zen::deck::PacedTimer::kFrameMs;

    // Installs the pacer on a top-level window; it lives as long as the window.
    static FramePacer* install(QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit FramePacer(QWidget& window);
    void requestRepaint();

    QWidget& window_;
    QElapsedTimer sincePaint_;
    zen::deck::PacedTimer nextFrame_;
};
