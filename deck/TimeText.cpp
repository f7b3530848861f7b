#include "deck/TimeText.h"

#include <cmath>

namespace {

// Whole numbers in the "00" pattern: at least two digits, the sign in front.
QString twoDigits(double value) {
    const QString digits = QStringLiteral("%1").arg(std::abs(value), 2, 'f', 0, QChar('0'));
    return value < 0 ? QStringLiteral("-") + digits : digits;
}

} // namespace

QString formatSeconds(float seconds) {
    const double s = seconds;
    const QString minutes = twoDigits(std::floor(s / 60.0));
    const QString secs = twoDigits(std::floor(s) - 60.0 * minutes.toDouble());
    const QString fixed = QString::number(s, 'f', 3);
    return minutes + QLatin1Char(':') + secs + QLatin1Char(',') + fixed.right(3);
}

QString FormatTime(const zen::audio::AudioEngine& engine, zen::audio::Handle channel,
                   zen::audio::BytePosition position) {
    if (position == -1) return QStringLiteral(":,");
    return formatSeconds(engine.channelBytes2Seconds(channel, position));
}
