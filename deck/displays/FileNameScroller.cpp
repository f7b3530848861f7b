#include "deck/displays/FileNameScroller.h"

#include <QLabel>

namespace zen::deck {

FileNameScroller::FileNameScroller(QLabel& label, QObject* parent)
    : QObject(parent), label_(label), tmrScroll_(150, [this](int ticks) {
          for (int i = 0; i < ticks; ++i)
              step();
      }) {}

void FileNameScroller::stop() {
    tmrScroll_.stop();
}

bool FileNameScroller::placeName() {
    label_.resize(label_.sizeHint().width(), label_.height());
    const bool wide = label_.width() > kPanelWidth;
    label_.move(wide ? kStartLeft : kRestLeft, label_.y());
    if (wide)
        tmrScroll_.start();
    else
        tmrScroll_.stop();
    return wide;
}

void FileNameScroller::step() {
    int left = label_.x() - kStep;
    if (left < -label_.width()) left = kReenterLeft;
    label_.move(left, label_.y());
}

} // namespace zen::deck
