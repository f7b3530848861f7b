#include "deck/FrequencyView.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstring>

namespace zen::deck {

namespace {

// About one screen refresh: no frame waits longer than this to be shown.
constexpr int kPaintIntervalMs = 16;

QImage makeImage() {
    const BitmapInfoHeader& header = FrequencyPicture::header();
    QImage image(header.width, header.height, QImage::Format_Indexed8);
    QList<QRgb> colours;
    colours.reserve(static_cast<qsizetype>(header.clrUsed));
    for (const PaletteEntry& e : FrequencyPicture::palette())
        colours.append(qRgb(e.red, e.green, e.blue));
    image.setColorTable(colours);
    return image;
}

} // namespace

FrequencyView::FrequencyView(audio::AudioEngine& engine, ChannelSource channel, QWidget* parent)
    : QWidget(parent), engine_(engine), channel_(std::move(channel)), image_(makeImage()) {
    tmrSpectrum_.setTimerType(Qt::PreciseTimer);
    tmrSpectrum_.setInterval(display_.periodMs());
    connect(&tmrSpectrum_, &QTimer::timeout, this, &FrequencyView::tick);
    paintPacer_.setSingleShot(true);
    paintPacer_.setTimerType(Qt::PreciseTimer);
    connect(&paintPacer_, &QTimer::timeout, this, &FrequencyView::paintIfChanged);
}

void FrequencyView::start() {
    tmrSpectrum_.start();
}

void FrequencyView::tick() {
    if (display_.scrolling())
        display_.tick(engine_, channel_ ? channel_() : 0);
    else
        barFrameDue_ = true;
    schedulePaint();
}

void FrequencyView::drawDueFrame() {
    if (!barFrameDue_) return;
    barFrameDue_ = false;
    display_.tick(engine_, channel_ ? channel_() : 0);
}

void FrequencyView::switchMode() {
    barFrameDue_ = false;
    display_.switchMode();
    tmrSpectrum_.setInterval(display_.periodMs());
    schedulePaint();
    emit captionChanged(display_.caption());
}

QSize FrequencyView::sizeHint() const {
    return {FrequencyPicture::kWidth, FrequencyPicture::kHeight};
}

void FrequencyView::schedulePaint() {
    if (paintPacer_.isActive()) return;
    const qint64 since = sincePaint_.isValid() ? sincePaint_.elapsed() : kPaintIntervalMs;
    paintPacer_.start(static_cast<int>(std::max<qint64>(0, kPaintIntervalMs - since)));
}

void FrequencyView::paintIfChanged() {
    drawDueFrame();
    const auto bits = display_.bits();
    if (std::memcmp(bits.data(), shown_.data(), shown_.size()) != 0) update();
}

void FrequencyView::paintEvent(QPaintEvent*) {
    drawDueFrame();
    const auto bits = display_.bits();
    std::memcpy(shown_.data(), bits.data(), shown_.size());
    // The bitmap's rows run bottom-up; the image's top-down.
    for (int y = 0; y < FrequencyPicture::kHeight; ++y)
        std::memcpy(image_.scanLine(y),
                    bits.data() + FrequencyPicture::kWidth * (FrequencyPicture::kHeight - 1 - y),
                    FrequencyPicture::kWidth);
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
    sincePaint_.start();
}

void FrequencyView::mousePressEvent(QMouseEvent* event) {
    switchMode();
    event->accept();
}

} // namespace zen::deck
