#include "deck/DeckSnapshot.h"

#include <limits>

namespace {

// Each field by its name in the record.
template <typename Snapshot, typename Visit> void eachField(Snapshot& s, Visit visit) {
    visit("folder", s.folder);
    visit("track", s.track);
    visit("mono", s.mono);
    visit("playing", s.playing);
    visit("position", s.position);
    visit("positionAtMs", s.positionAtMs);
    visit("cue", s.cue);
    visit("repeat", s.repeat);
    visit("loopStart", s.loopStart);
    visit("loopEnd", s.loopEnd);
    visit("loopOn", s.loopOn);
    visit("pitch", s.pitch);
    visit("bass", s.bands[0]);
    visit("mid", s.bands[1]);
    visit("treble", s.bands[2]);
    visit("volume", s.volume);
    visit("pan", s.pan);
    visit("touchAmount", s.touchAmount);
    visit("scrolling", s.scrolling);
}

QString text(const QString& value) {
    return value;
}
template <typename Number> QString text(Number value) {
    return QString::number(value);
}

void read(const QString& text, QString& value) {
    value = text;
}
void read(const QString& text, bool& value) {
    value = text == QLatin1String("1");
}
template <typename Number> void read(const QString& text, Number& value) {
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok);
    if (ok && number >= std::numeric_limits<Number>::min() &&
        number <= std::numeric_limits<Number>::max())
        value = static_cast<Number>(number);
}

} // namespace

QMap<QString, QString> DeckSnapshot::toState() const {
    QMap<QString, QString> state;
    eachField(*this, [&](const char* name, const auto& value) {
        state.insert(QLatin1String(name), text(value));
    });
    return state;
}

DeckSnapshot DeckSnapshot::fromState(const QMap<QString, QString>& state) {
    DeckSnapshot s;
    eachField(s, [&](const char* name, auto& value) {
        const auto found = state.find(QLatin1String(name));
        if (found != state.end()) read(*found, value);
    });
    return s;
}
