#include "deck/SpectrumView.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstring>

namespace zen::deck {

namespace {

// About one screen refresh: no frame waits longer than this to be shown.
constexpr int kPaintIntervalMs = 16;

QImage makeImage() {
    const BitmapInfoHeader& header = SpectrumDisplay::header();
    QImage image(header.width, header.height, QImage::Format_Indexed8);
    QList<QRgb> colours;
    colours.reserve(static_cast<qsizetype>(header.clrUsed));
    for (const PaletteEntry& e : SpectrumDisplay::palette())
        colours.append(qRgb(e.red, e.green, e.blue));
    image.setColorTable(colours);
    return image;
}

} // namespace

SpectrumView::SpectrumView(audio::AudioEngine& engine, ChannelSource channel, QWidget* parent)
    : QWidget(parent), engine_(engine), channel_(std::move(channel)), image_(makeImage()) {
    tmrSpectrum_.setTimerType(Qt::PreciseTimer);
    tmrSpectrum_.setInterval(display_.periodMs());
    connect(&tmrSpectrum_, &QTimer::timeout, this, &SpectrumView::tick);
    paintPacer_.setSingleShot(true);
    paintPacer_.setTimerType(Qt::PreciseTimer);
    connect(&paintPacer_, &QTimer::timeout, this, &SpectrumView::paintIfChanged);
}

void SpectrumView::start() {
    tmrSpectrum_.start();
}

void SpectrumView::tick() {
    if (display_.scrolling())
        display_.tick(engine_, channel_ ? channel_() : 0);
    else
        barFrameDue_ = true;
    schedulePaint();
}

void SpectrumView::drawDueFrame() {
    if (!barFrameDue_) return;
    barFrameDue_ = false;
    display_.tick(engine_, channel_ ? channel_() : 0);
}

void SpectrumView::switchMode() {
    barFrameDue_ = false;
    display_.switchMode();
    tmrSpectrum_.setInterval(display_.periodMs());
    schedulePaint();
    emit captionChanged(display_.caption());
}

QSize SpectrumView::sizeHint() const {
    return {SpectrumDisplay::kWidth, SpectrumDisplay::kHeight};
}

void SpectrumView::schedulePaint() {
    if (paintPacer_.isActive()) return;
    const qint64 since = sincePaint_.isValid() ? sincePaint_.elapsed() : kPaintIntervalMs;
    paintPacer_.start(static_cast<int>(std::max<qint64>(0, kPaintIntervalMs - since)));
}

void SpectrumView::paintIfChanged() {
    drawDueFrame();
    const auto bits = display_.bits();
    if (std::memcmp(bits.data(), shown_.data(), shown_.size()) != 0) update();
}

void SpectrumView::paintEvent(QPaintEvent*) {
    drawDueFrame();
    const auto bits = display_.bits();
    std::memcpy(shown_.data(), bits.data(), shown_.size());
    // The bitmap's rows run bottom-up; the image's top-down.
    for (int y = 0; y < SpectrumDisplay::kHeight; ++y)
        std::memcpy(image_.scanLine(y),
                    bits.data() + SpectrumDisplay::kWidth * (SpectrumDisplay::kHeight - 1 - y),
                    SpectrumDisplay::kWidth);
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
    sincePaint_.start();
}

void SpectrumView::mousePressEvent(QMouseEvent* event) {
    switchMode();
    event->accept();
}

} // namespace zen::deck
