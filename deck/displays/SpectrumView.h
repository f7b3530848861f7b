#pragma once

#include "deck/ChannelSource.h"
#include "deck/displays/PacedTimer.h"
#include "deck/displays/SpectrumPicture.h"

#include <QImage>
#include <QWidget>

namespace zen::deck {

// pctSpectrum: shows the spectrum picture at its top-left corner and switches its view on a
// mouse press. The picture is repainted only when it changed.
//
// The view's period (35 ms at start, 25 ms scrolling, 1 ms in the bar view) is its schedule, not
// a wake-up rate: tmrSpectrum runs on the frame clock. The scrolling view adds a column for every
// tick that fell due. A bar frame replaces the whole picture, so of the ticks due in a frame only
// the last could ever be seen: the bar view draws that one, from the analysis of that moment. The
// view looks and behaves the same, and the window thread wakes 60 times a second, not 1000.
class SpectrumView : public QWidget {
    Q_OBJECT
public:
    SpectrumView(audio::AudioEngine& engine, ChannelSource channel, QWidget* parent = nullptr);

    // Start-up switches tmrSpectrum on; from then on it ticks until the process ends.
    void start();
    // One tick of tmrSpectrum: draws the frame due in the current view.
    void tick();
    // What a mouse press on the picture does.
    void switchMode();

    const SpectrumPicture& display() const { return display_; }
    const PacedTimer& timer() const { return tmrSpectrum_; }
    QString caption() const { return display_.caption(); }

    QSize sizeHint() const override;

signals:
    // The new text for lblVU after a switch.
    void captionChanged(const QString& caption);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void ticksDue(int ticks);
    void updateIfChanged();

    audio::AudioEngine& engine_;
    ChannelSource channel_;
    SpectrumPicture display_;
    PacedTimer tmrSpectrum_;
    // The picture in the window's own pixel format, so that a paint copies it as it stands.
    QImage image_;
    std::array<QRgb, 256> colours_{};
    std::array<std::uint8_t, SpectrumPicture::kWidth * SpectrumPicture::kRows> shown_{};
};

} // namespace zen::deck
