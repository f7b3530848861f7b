#include "deck/DeckSlider.h"

#include <QApplication>
#include <QProxyStyle>
#include <QStyle>
#include <algorithm>

DeckSlider::DeckSlider(Qt::Orientation orientation, int topOrLeft, int bottomOrRight,
                       QWidget* parent)
    : QSlider(orientation, parent) {
    setRange(std::min(topOrLeft, bottomOrRight), std::max(topOrLeft, bottomOrRight));
    // A plain vertical slider has its minimum at the bottom, a horizontal one at the left.
    const bool smallFirst = topOrLeft <= bottomOrRight;
    setInvertedAppearance(orientation == Qt::Vertical ? smallFirst : !smallFirst);
    setInvertedControls(orientation == Qt::Vertical ? smallFirst : !smallFirst);
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QAbstractSlider::actionTriggered, this, [this](int) {
        // Every user move comes through here with the new position; take it on first so the
        // handlers read the value the user chose.
        setValue(sliderPosition());
        emit scrolled(value());
    });
}

namespace {

class JumpToClickStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_Slider_AbsoluteSetButtons) return Qt::LeftButton;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

void DeckSlider::jumpToClickedPoint() {
    auto* style = new JumpToClickStyle(QApplication::style()->name());
    style->setParent(this);
    setStyle(style);
}

int DeckSlider::knobPixel() const {
    const int span = orientation() == Qt::Horizontal ? width() : height();
    return QStyle::sliderPositionFromValue(minimum(), maximum(), value(), span,
                                           invertedAppearance());
}

void DeckSlider::sliderChange(SliderChange change) {
    if (change == SliderValueChange) {
        const int pixel = knobPixel();
        if (pixel == drawnPixel_) return;
        drawnPixel_ = pixel;
    } else {
        drawnPixel_ = -1;
    }
    QSlider::sliderChange(change);
}
