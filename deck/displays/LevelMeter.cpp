#include "deck/displays/LevelMeter.h"

#include <QPainter>

namespace zen::deck {

LevelMeter::LevelMeter(audio::AudioEngine& engine, ChannelSource channel, QWidget* parent)
    : QWidget(parent), engine_(engine), channel_(std::move(channel)),
      fxTimer1_(30, [this](int) { readLevel(); }), tmrVU_(15, [this](int ticks) { fall(ticks); }),
      tmrVUReset_(250, [this](int) { dropThresholds(); }) {
    setFixedSize(LevelMeterModel::kWidth, LevelMeterModel::kHeight);
    shownTops_ = model_.tops();
    tmrVUReset_.setSingleShot(true);
    fxTimer1_.start();
    tmrVU_.start();
}

void LevelMeter::readLevel() {
    // Switching on a timer that already runs leaves its countdown alone, so a steady signal
    // still drops the thresholds every 250 ms.
    if (model_.read(engine_.channelGetLevel(channel_ ? channel_() : 0)) && !tmrVUReset_.isActive())
        tmrVUReset_.start();
}

void LevelMeter::fall(int ticks) {
    for (int i = 0; i < ticks; ++i)
        model_.fall();
    if (model_.tops() != shownTops_) {
        shownTops_ = model_.tops();
        update();
    }
}

void LevelMeter::dropThresholds() {
    model_.dropThresholds();
    tmrVUReset_.stop();
}

QSize LevelMeter::sizeHint() const {
    return {LevelMeterModel::kWidth, LevelMeterModel::kHeight};
}

void LevelMeter::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (std::size_t i = 0; i < LevelMeterModel::kShapes.size(); ++i) {
        const LevelMeterModel::Shape& shape = LevelMeterModel::kShapes[i];
        painter.fillRect(
            QRectF(shape.column, model_.top(static_cast<int>(i)), shape.width, shape.height),
            toQColor(shape.fill));
    }
}

} // namespace zen::deck
