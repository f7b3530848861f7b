#include "deck/OutputWatch.h"

#include "deck/audio/AudioEngine.h"

#include <QLabel>

namespace {
constexpr int kLookMs = 250;
} // namespace

OutputWatch::OutputWatch(zen::audio::AudioEngine& engine, const Controls& controls)
    : engine_(engine), c_(controls) {
    timer_.setInterval(kLookMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] { check(); });
}

void OutputWatch::start() {
    timer_.start();
}

void OutputWatch::check() {
    // The first look at a lost output says so at once; each one after tries it again.
    const bool lost = engine_.outputLost() && (looksLost_++ == 0 || !engine_.reopenOutput());
    if (!lost) {
        looksLost_ = 0;
        if (!c_.lblStatus->isHidden()) c_.lblStatus->hide();
        return;
    }
    show(QString::fromStdString(engine_.outputProblem()));
}

void OutputWatch::show(const QString& problem) {
    // The line holds what happened, up to the colon before the details; the whole of it shows
    // when the pointer rests on the line.
    QString what = problem.section(QLatin1Char(':'), 0, 0).trimmed();
    if (!what.endsWith(QLatin1Char('.'))) what += QLatin1Char('.');
    const QString text = QStringLiteral("No sound: ") + what + QStringLiteral(" Trying again...");
    if (c_.lblStatus->text() != text) {
        c_.lblStatus->setText(text);
        c_.lblStatus->setToolTip(problem);
    }
    if (c_.lblStatus->isHidden()) {
        c_.lblStatus->show();
        c_.lblStatus->raise();
    }
}
