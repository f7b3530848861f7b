#pragma once

#include "deck/ChannelSource.h"
#include "deck/displays/LevelMeterModel.h"
#include "deck/displays/PacedTimer.h"

#include <QWidget>

namespace zen::deck {

// pctVU: the level meter, 25 x 100 pixels. FXTimer1 reads the channel's level every 30 ms and
// tmrVU lets the shapes fall every 15 ms; both run from construction. tmrVUReset drops the
// thresholds 250 ms after it is switched on, once. The meter is repainted only when a shape moved.
// The three keep their periods on the frame clock: a frame that falls due for two fall ticks lets
// the shapes fall twice.
class LevelMeter : public QWidget {
    Q_OBJECT
public:
    LevelMeter(audio::AudioEngine& engine, ChannelSource channel, QWidget* parent = nullptr);

    // One tick of FXTimer1.
    void readLevel();
    // `ticks` ticks of tmrVU.
    void fall(int ticks);
    // The tick of tmrVUReset.
    void dropThresholds();

    const LevelMeterModel& model() const { return model_; }
    const PacedTimer& resetTimer() const { return tmrVUReset_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    audio::AudioEngine& engine_;
    ChannelSource channel_;
    LevelMeterModel model_;
    std::array<double, 4> shownTops_{};
    PacedTimer fxTimer1_;
    PacedTimer tmrVU_;
    PacedTimer tmrVUReset_;
};

} // namespace zen::deck
