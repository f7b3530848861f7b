#include "deck/DeckDisplays.h"

#include "common/Palette.h"
#include "common/WindowDrag.h"
#include "deck/displays/CpuLoadDisplay.h"
#include "deck/displays/LevelMeter.h"
#include "deck/displays/SpectrumView.h"

#include <QLabel>

namespace {

constexpr zen::Rgb kPictureBackground = zen::rgb(0, 0, 0);

void setColours(QWidget* widget, zen::Rgb background, zen::Rgb text) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, zen::toQColor(background));
    palette.setColor(QPalette::WindowText, zen::toQColor(text));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// A label whose text changes on a timer: fixed size and plain text, so a new text repaints the
// label alone and never asks the window for a new layout.
QLabel* statusLabel(QWidget* parent, const QString& text, const QRect& place, Qt::Alignment align) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(place);
    label->setFixedSize(place.size());
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(align);
    return label;
}

} // namespace

void createDeckDisplays(DeckUi& ui, zen::audio::AudioEngine& engine,
                        const zen::deck::ChannelSource& channel) {
    QWidget* w = ui.frmMain;

    ui.pctSpectrum = new zen::deck::SpectrumView(engine, channel, w);
    ui.pctSpectrum->move(8, 154);
    ui.pctSpectrum->setFixedSize(ui.pctSpectrum->sizeHint());
    // The picture covers the view: nothing below it needs painting.
    ui.pctSpectrum->setAttribute(Qt::WA_OpaquePaintEvent);
    ui.pctSpectrum->setToolTip(QStringLiteral("Click to switch the view"));

    ui.lblVU = statusLabel(w, ui.pctSpectrum->caption(), {104, 156, 150, 18},
                           Qt::AlignLeft | Qt::AlignVCenter);
    QFont captionFont = ui.lblVU->font();
    captionFont.setBold(true);
    ui.lblVU->setFont(captionFont);
    QObject::connect(ui.pctSpectrum, &zen::deck::SpectrumView::captionChanged, ui.lblVU,
                     &QLabel::setText);

    ui.pctVU = new zen::deck::LevelMeter(engine, channel, w);
    ui.pctVU->move(402, 156);
    setColours(ui.pctVU, kPictureBackground, zen::kDeckInfoText);

    statusLabel(w, QStringLiteral("CPU"), {274, 156, 44, 18}, Qt::AlignRight | Qt::AlignVCenter);
    ui.lblCPU = statusLabel(w, QStringLiteral("0.0 %"), {320, 156, 66, 18}, Qt::AlignCenter);
    setColours(ui.lblCPU, zen::kDeckPalette[2], zen::kDeckInfoText);
    ui.cpuLoad = new zen::deck::CpuLoadDisplay(engine, *ui.lblCPU, w);

    zen::WindowDrag::install(*ui.lblWindowTitle);
}
