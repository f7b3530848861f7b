#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

// Paints a window at most once a frame of the screen. The deck's timers change what it shows up
// to a hundred times a second each (position 10 ms, meter 15 ms, spectrum), and every repaint of
// the window costs a flush to the display server; gathered into one repaint per frame they cost
// a third of that, and the eye sees the same. A repaint asked for within a frame of the last one
// is put off to the frame's end, where everything that changed meanwhile is painted at once.
class FramePacer : public QObject {
public:
    static constexpr int kFrameMs = 16;

    // Installs the pacer on a top-level window; it lives as long as the window.
    static FramePacer* install(QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit FramePacer(QWidget& window);
    void requestRepaint();

    QWidget& window_;
    QElapsedTimer sincePaint_;
    QTimer frameEnd_;
};
