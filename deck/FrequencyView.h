#pragma once

#include "deck/ChannelSource.h"
#include "deck/FrequencyPicture.h"

#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>

namespace zen::deck {

// pctSpectrum: shows the spectrum picture at its top-left corner and switches its view on a
// mouse press. The screen is repainted at most about 60 times a second, and only when the picture
// changed. The scrolling view draws a column on every tick of tmrSpectrum. A bar frame replaces
// the whole picture, so of the bar view's 1 ms ticks only the last before a paint can ever be
// seen: that frame alone is drawn, from the analysis of that moment.
class FrequencyView : public QWidget {
    Q_OBJECT
public:
    FrequencyView(audio::AudioEngine& engine, ChannelSource channel, QWidget* parent = nullptr);

    // Start-up switches tmrSpectrum on; from then on it ticks until the process ends.
    void start();
    // One tick of tmrSpectrum.
    void tick();
    // Draws the bar frame a tick left due, if any; painting does it itself.
    void drawDueFrame();
    // What a mouse press on the picture does.
    void switchMode();

    const FrequencyPicture& display() const { return display_; }
    const QTimer& timer() const { return tmrSpectrum_; }
    QString caption() const { return display_.caption(); }

    QSize sizeHint() const override;

signals:
    // The new text for lblVU after a switch.
    void captionChanged(const QString& caption);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void schedulePaint();
    void paintIfChanged();

    audio::AudioEngine& engine_;
    ChannelSource channel_;
    FrequencyPicture display_;
    QTimer tmrSpectrum_;
    QTimer paintPacer_;
    QElapsedTimer sincePaint_;
    QImage image_;
    bool barFrameDue_ = false;
    std::array<std::uint8_t, FrequencyPicture::kWidth * FrequencyPicture::kRows> shown_{};
};

} // namespace zen::deck
