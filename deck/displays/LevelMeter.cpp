#include "deck/displays/LevelMeter.h"

#include <QPainter>

namespace zen::deck {

LevelMeter::LevelMeter(audio::AudioEngine& engine, ChannelSource channel, QWidget* parent)
    : QWidget(parent), engine_(engine), channel_(std::move(channel)) {
    setFixedSize(LevelMeterModel::kWidth, LevelMeterModel::kHeight);
    shownTops_ = model_.tops();

    fxTimer1_.setTimerType(Qt::PreciseTimer);
    connect(&fxTimer1_, &QTimer::timeout, this, &LevelMeter::readLevel);
    connect(&tmrVU_, &QTimer::timeout, this, &LevelMeter::fall);
    tmrVUReset_.setInterval(250);
    tmrVUReset_.setSingleShot(true);
    connect(&tmrVUReset_, &QTimer::timeout, this, &LevelMeter::dropThresholds);
    fxTimer1_.start(30);
    tmrVU_.start(15);
}

void LevelMeter::readLevel() {
    // Switching on a timer that already runs leaves its countdown alone, so a steady signal
    // still drops the thresholds every 250 ms.
    if (model_.read(engine_.channelGetLevel(channel_ ? channel_() : 0)) && !tmrVUReset_.isActive())
        tmrVUReset_.start();
}

void LevelMeter::fall() {
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
