#pragma once

#include "deck/displays/PacedTimer.h"

#include <QObject>

class QLabel;

namespace zen::deck {

// Scrolls lblFileName through the song panel pctSongInfo when the name is wider than the panel:
// tmrScroll moves it 8 pixels left every 150 ms and brings it back in from the right once it has
// left the panel completely.
class FileNameScroller : public QObject {
    Q_OBJECT
public:
    static constexpr int kPanelWidth = 382;
    static constexpr int kRestLeft = 8;
    static constexpr int kStartLeft = 386;
    static constexpr int kReenterLeft = 384;
    static constexpr int kStep = 8;

    explicit FileNameScroller(QLabel& label, QObject* parent = nullptr);

    // The load stops the scrolling before it shows its progress.
    void stop();
    // The load calls this once the label shows the new name: the label is sized to its text, and
    // a name wider than the panel starts scrolling from the right; any other rests at left 8.
    // Returns whether it scrolls.
    bool placeName();
    // One tick of tmrScroll.
    void step();

    bool scrolling() const { return tmrScroll_.isActive(); }
    const PacedTimer& timer() const { return tmrScroll_; }

private:
    QLabel& label_;
    PacedTimer tmrScroll_;
};

} // namespace zen::deck
