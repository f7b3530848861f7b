#pragma once

#include <QString>
#include <QStringList>

class DeckHost;

// What the deck takes from its configuration copy and styles.ini.
struct DeckConfig {
    bool bpmShown = false;   // the BPM read-outs
    bool trackingOn = false; // the touch's tracking mode
    int soundDevice = 0;     // output device of this deck
    QString midiPortName;    // MIDI input port of this deck, as stored
    // The number of the MIDI input device named midiPortName, -1 when none is.
    qint16 midiInDevice = -1;
    QString joystick; // joystick number of this deck, as stored
    QString musicFolder;
    QStringList genres; // 256 genre names
};

// Reads the deck's configuration copy ("deck" + argument + ".ini" in the settings folder) and
// styles.ini from the program folder. A missing copy is reported and start-up goes on with empty
// values.
DeckConfig ReadConfig(DeckHost& host, const QString& deckText);
