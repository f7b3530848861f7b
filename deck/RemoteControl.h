#pragma once

#include "common/midi/MIDIInput.h"

#include <QString>
#include <QTimer>
#include <functional>

class DeckHost;
class QRadioButton;
class Touch;
class TrackLoader;
class Transport;

// The deck's receiving end of the console's commands: each Control Change on channel 1 becomes
// a call of a public deck operation, every message flashes the activity light, and a failing
// port ends the deck. The deck sends nothing back.
class RemoteControl {
public:
    struct Controls {
        QRadioButton* optActivity = nullptr; // the activity light
    };
    // The operations the commands call, and those that put the lights out.
    struct Parts {
        Transport& transport;
        Touch& touch;
        TrackLoader& loader;
    };

    // `salir` is the deck's way out, taken by the quit command and by a port error.
    RemoteControl(DeckHost& host, const Controls& controls, const Parts& parts,
                  std::function<void()> salir);

    // Opens and starts the input on the deck's configured device; closes it again. A device that
    // is not in the list leaves the deck without remote control.
    void open(qint16 device);
    void close();

    // The input's message-received handler.
    void messageReceived();
    // The input's error handler: the number and description are not shown, but written to
    // standard error, where they tell what went wrong (a refused cable folder, say).
    void portError(qint16 number, const QString& description);
    // tmrLED, 250 ms after a message: the light and the button dots go back off.
    void ledTick();

    // The number of the MIDI input device the port opened, -1 for none.
    qint16 device() const { return device_; }
    zen::MIDIInput& MIDIInput() { return midiInput_; }
    QTimer& tmrLED() { return tmrLED_; }

private:
    void dispatch();

    DeckHost& host_;
    Controls controls_;
    Parts parts_;
    std::function<void()> salir_;
    qint16 device_ = -1;
    zen::MIDIInput midiInput_;
    QTimer tmrLED_;
};
