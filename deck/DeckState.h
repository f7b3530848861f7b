#pragma once

#include "deck/audio/AudioEngine.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

// The deck's own fields, kept for the life of the process and shared by its concerns.
struct DeckState {
    // Start-up and configuration copy.
    QString deckText;      // the command-line argument, unchanged
    double deckNumber = 0; // its leading number
    int soundDevice = 0;   // output device of this deck
    QString midiPortName;  // MIDI input port of this deck, as stored
    QString joystick;      // joystick number of this deck, as stored
    bool trackingOn = false;
    bool djControlOn = false; // the switch of tmrDJControl; its routine is not scheduled
    QStringList genres;       // 256 genre names
    // The number of the MIDI input device named midiPortName, -1 when none is.
    qint16 midiInDevice = -1;

    // Faders.
    int Volume = 0;
    int Pan = 0;
    int TouchAmount = 0;
    std::array<std::int16_t, 26> KillSave{};

    // Loaded track.
    zen::audio::Handle channel = 0;
    int OrigRate = 0;
    std::array<zen::audio::Handle, 14> EqFx{};
    zen::audio::Handle bpmChannel = 0;
    zen::audio::Handle tempoChannel = 0; // never created
    float detectedBpm = 0;

    // Transport.
    bool Stopped = true;
    zen::audio::BytePosition CuePoint = 0;
    bool CueHeld = false;
    zen::audio::BytePosition LoopStart = 0;
    zen::audio::BytePosition LoopEnd = 0;
    bool LoopOn = false;

    // Touch: the rate and pitch fader at the start of the bend being held.
    std::int32_t SavedRate = 0;
    std::int32_t SavedPitch = 0;
    bool bendHeld = false;
};
