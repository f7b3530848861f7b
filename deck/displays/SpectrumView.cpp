#include "deck/displays/SpectrumView.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstring>

namespace zen::deck {

SpectrumView::SpectrumView(audio::AudioEngine& engine, ChannelSource channel, QWidget* parent)
    : QWidget(parent), engine_(engine), channel_(std::move(channel)),
      tmrSpectrum_(display_.periodMs(), [this](int ticks) { ticksDue(ticks); }),
      image_(SpectrumPicture::kWidth, SpectrumPicture::kHeight, QImage::Format_RGB32) {
    std::transform(SpectrumPicture::palette().begin(), SpectrumPicture::palette().end(),
                   colours_.begin(),
                   [](const PaletteEntry& e) { return qRgb(e.red, e.green, e.blue); });
}

void SpectrumView::start() {
    tmrSpectrum_.start();
}

void SpectrumView::tick() {
    ticksDue(1);
}

void SpectrumView::ticksDue(int ticks) {
    const int frames = display_.scrolling() ? std::min(ticks, SpectrumPicture::kWidth) : 1;
    for (int i = 0; i < frames; ++i)
        display_.tick(engine_, channel_ ? channel_() : 0);
    updateIfChanged();
}

void SpectrumView::switchMode() {
    display_.switchMode();
    tmrSpectrum_.setInterval(display_.periodMs());
    updateIfChanged();
    emit captionChanged(display_.caption());
}

QSize SpectrumView::sizeHint() const {
    return {SpectrumPicture::kWidth, SpectrumPicture::kHeight};
}

void SpectrumView::updateIfChanged() {
    const auto bits = display_.bits();
    if (std::memcmp(bits.data(), shown_.data(), shown_.size()) != 0) update();
}

void SpectrumView::paintEvent(QPaintEvent*) {
    const auto bits = display_.bits();
    std::memcpy(shown_.data(), bits.data(), shown_.size());
    // The bitmap's rows run bottom-up; the image's top-down.
    for (int y = 0; y < SpectrumPicture::kHeight; ++y) {
        const auto row = bits.subspan(
            static_cast<std::size_t>(SpectrumPicture::kWidth * (SpectrumPicture::kHeight - 1 - y)),
            SpectrumPicture::kWidth);
        auto* line = reinterpret_cast<QRgb*>(image_.scanLine(y));
        std::transform(row.begin(), row.end(), line,
                       [this](std::uint8_t i) { return colours_[i]; });
    }
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
}

void SpectrumView::mousePressEvent(QMouseEvent* event) {
    switchMode();
    event->accept();
}

} // namespace zen::deck
