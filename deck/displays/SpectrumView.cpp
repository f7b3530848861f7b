#include "deck/displays/SpectrumView.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstring>

namespace zen::deck {

namespace {

QImage makeImage() {
    const BitmapInfoHeader& header = SpectrumPicture::header();
    QImage image(header.width, header.height, QImage::Format_Indexed8);
    QList<QRgb> colours;
    colours.reserve(static_cast<qsizetype>(header.clrUsed));
    for (const PaletteEntry& e : SpectrumPicture::palette())
        colours.append(qRgb(e.red, e.green, e.blue));
    image.setColorTable(colours);
    return image;
}

// How often tmrSpectrum wakes for a view: at its period, but never faster than the screen, since
// in a faster view (the bar view) a frame due replaces all the frames before it.
int wakeMs(const SpectrumPicture& picture) {
    return std::max(picture.periodMs(), SpectrumView::kScreenFrameMs);
}

} // namespace

SpectrumView::SpectrumView(audio::AudioEngine& engine, ChannelSource channel, QWidget* parent)
    : QWidget(parent), engine_(engine), channel_(std::move(channel)), image_(makeImage()) {
    tmrSpectrum_.setTimerType(Qt::PreciseTimer);
    tmrSpectrum_.setInterval(wakeMs(display_));
    connect(&tmrSpectrum_, &QTimer::timeout, this, &SpectrumView::tick);
}

void SpectrumView::start() {
    tmrSpectrum_.start();
}

void SpectrumView::tick() {
    display_.tick(engine_, channel_ ? channel_() : 0);
    updateIfChanged();
}

void SpectrumView::switchMode() {
    display_.switchMode();
    tmrSpectrum_.setInterval(wakeMs(display_));
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
    for (int y = 0; y < SpectrumPicture::kHeight; ++y)
        std::memcpy(image_.scanLine(y),
                    bits.data() + SpectrumPicture::kWidth * (SpectrumPicture::kHeight - 1 - y),
                    SpectrumPicture::kWidth);
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
}

void SpectrumView::mousePressEvent(QMouseEvent* event) {
    switchMode();
    event->accept();
}

} // namespace zen::deck
