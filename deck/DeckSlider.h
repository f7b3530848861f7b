#pragma once

#include <QSlider>

// A fader with the deck's value ends. `top`/`left` is the value shown at the top (vertical) or
// left (horizontal) end and may be larger than the other end: the slider then holds the sorted
// range with its appearance inverted, so each end shows the value it is meant to.
//
// valueChanged is the change notification (every change, the program's own included); scrolled
// is the scroll notification and fires only when the user moves the fader (mouse, wheel, keys),
// after the value has been taken on.
class DeckSlider : public QSlider {
    Q_OBJECT
public:
    DeckSlider(Qt::Orientation orientation, int topOrLeft, int bottomOrRight,
               QWidget* parent = nullptr);

    // A left press in the groove puts the knob at that point, as a user move, and holds it for a
    // drag, instead of stepping it by a page.
    void jumpToClickedPoint();

signals:
    void scrolled(int value);

protected:
    // The deck's timers write the position a thousand times a second; the fader is redrawn only
    // when its knob lands on another pixel.
    void sliderChange(SliderChange change) override;

private:
    int knobPixel() const;

    int drawnPixel_ = -1;
};
