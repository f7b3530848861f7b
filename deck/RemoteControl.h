#pragma once

#include "common/midi/MIDIInput.h"
#include "deck/Deck.h"

#include <QString>
#include <QTimer>
#include <functional>

class Touch;
class Transport;

// The deck's receiving end of the console's commands: each Control Change on channel 1 becomes
// a call of a public deck operation, every message flashes the activity light, and a failing
// port ends the deck. The deck sends nothing back.
class RemoteControl {
public:
    // `salir` is the deck's way out, taken by the quit command and by a port error.
    RemoteControl(Deck& deck, Transport& transport, Touch& touch, std::function<void()> salir);

    // Opens and starts the input on the deck's configured device; closes it again. A device that
    // is not in the list leaves the deck without remote control.
    void open();
    void close();

    // The input's message-received handler.
    void messageReceived();
    // The input's error handler: the number and description are not shown, but written to
    // standard error, where they tell what went wrong (a refused cable folder, say).
    void portError(qint16 number, const QString& description);
    // tmrLED, 250 ms after a message: the light and the button dots go back off.
    void ledTick();

    zen::MIDIInput& MIDIInput() { return midiInput_; }
    QTimer& tmrLED() { return tmrLED_; }

private:
    void dispatch();

    Deck& d_;
    Transport& transport_;
    Touch& touch_;
    std::function<void()> salir_;
    zen::MIDIInput midiInput_;
    QTimer tmrLED_;
};
