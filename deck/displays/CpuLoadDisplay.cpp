#include "deck/displays/CpuLoadDisplay.h"

#include <QLabel>
#include <cmath>

namespace zen::deck {

CpuLoadDisplay::CpuLoadDisplay(audio::AudioEngine& engine, QLabel& label, QObject* parent)
    : QObject(parent), engine_(engine), label_(label), tmrCPU_(200, [this](int) { refresh(); }) {}

void CpuLoadDisplay::start() {
    tmrCPU_.start();
}

void CpuLoadDisplay::refresh() {
    label_.setText(format(engine_.getCpu()));
}

QString CpuLoadDisplay::format(float percent) {
    // A load that is not a number would print as "nan"; show no load instead.
    const double value = std::isfinite(percent) ? percent : 0.0;
    return QString::number(value, 'f', 1) + QStringLiteral(" %");
}

} // namespace zen::deck
