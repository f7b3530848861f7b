#pragma once

#include "common/midi/MIDIInput.h"
#include "common/midi/MIDIOutput.h"
#include "console/ConsoleHost.h"

#include <QObject>
#include <array>
#include <atomic>
#include <functional>

// The console's three MIDI ports: the external controller's input MIDIInput1 and the outputs
// MIDIOutput1 and MIDIOutput2 to the decks. The deck port numbers are the ones the console
// resolved last (at start-up, then at every engine start); the external device is the options
// panel's choice, read afresh each time the ports open. A port error is reported and leads to the
// console's exit routine. Everything runs on the window thread but sendCommand(), which the key
// thread calls too.
class ConsolePorts : public QObject {
    Q_OBJECT
public:
    // `externalDevice` gives the panel's external input (-1 for none); `salir` is the console's
    // exit routine.
    ConsolePorts(ConsoleHost& host, std::function<qint16()> externalDevice,
                 std::function<void()> salir);

    // Opens and starts the three ports on exactly their devices; a port that held another device
    // closes it first. A port that cannot be opened is reported before this returns.
    void InitMidi();
    // Stops, resets and closes whatever device each port has open.
    void unloadMidi();

    void setDeckDevices(qint16 deck1, qint16 deck2);
    qint16 deckDevice(int deck) const { return deckDevices_[deck - 1]; }
    // A deck command (status 176, value 126) on the port of deck 1 or 2; any thread.
    void sendCommand(int deck, int command);

    zen::MIDIInput& MIDIInput1() { return input_; }
    zen::MIDIOutput& MIDIOutput(int deck) { return deck == 1 ? output1_ : output2_; }

private:
    void portError(const QString& label, qint16 number, const QString& description);

    ConsoleHost& host_;
    std::function<qint16()> externalDevice_;
    std::function<void()> salir_;
    zen::MIDIInput input_;
    zen::MIDIOutput output1_;
    zen::MIDIOutput output2_;
    std::array<std::atomic<qint16>, 2> deckDevices_{-1, -1};
};
