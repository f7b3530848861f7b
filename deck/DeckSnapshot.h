#pragma once

#include "deck/audio/AudioEngine.h"

#include <QMap>
#include <QString>
#include <array>

// What the deck is doing, as its record keeps it: enough for a relaunched deck to carry on where
// the one before it was. Each concern writes its own part and restores it.
struct DeckSnapshot {
    // The browser's folder, and the loaded track's full path (empty when none is loaded).
    QString folder;
    QString track;
    bool mono = false;

    bool playing = false;
    zen::audio::BytePosition position = 0;
    // When the position was read, in ms of the system's steady clock (shared by all processes).
    qint64 positionAtMs = 0;
    zen::audio::BytePosition cue = 0;
    bool repeat = false;

    zen::audio::BytePosition loopStart = 0;
    zen::audio::BytePosition loopEnd = 0;
    bool loopOn = false;

    int pitch = 0; // the pitch fader
    std::array<int, 3> bands{};
    int volume = 50;
    int pan = 0;
    int touchAmount = 2500;
    bool scrolling = false; // the spectrum's view

    bool operator==(const DeckSnapshot&) const = default;

    QMap<QString, QString> toState() const;
    // What a record gives; names it lacks keep their start values.
    static DeckSnapshot fromState(const QMap<QString, QString>& state);
};
