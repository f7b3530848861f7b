#include "console/ConsolePorts.h"

#include "common/DeckCommands.h"
#include "common/midi/EventQueue.h"

namespace {

using zen::MidiAction;

template <typename Port> void openExactly(Port& port, qint16 device) {
    const qint16 held = static_cast<qint16>(port.openDevice());
    if (held >= 0 && held != device) port.action(held, MidiAction::Close);
    port.action(device, MidiAction::Reset);
    port.action(device, MidiAction::Open);
    port.action(device, MidiAction::Start);
}

template <typename Port> void closeHeld(Port& port) {
    const qint16 held = static_cast<qint16>(port.openDevice());
    port.action(held, MidiAction::Stop);
    port.action(held, MidiAction::Reset);
    port.action(held, MidiAction::Close);
}

} // namespace

ConsolePorts::ConsolePorts(ConsoleHost& host, std::function<qint16()> externalDevice,
                           std::function<void()> salir)
    : host_(host), externalDevice_(std::move(externalDevice)), salir_(std::move(salir)) {
    const auto onError = [this](const char* label) {
        return [this, label](qint16 number, const QString& description) {
            portError(QString::fromLatin1(label), number, description);
        };
    };
    connect(&input_, &zen::MidiPort::error, this, onError("MIDI External Error"));
    connect(&output1_, &zen::MidiPort::error, this, onError("MIDI Internal1 Error"));
    connect(&output2_, &zen::MidiPort::error, this, onError("MIDI Internal2 Error"));
}

void ConsolePorts::InitMidi() {
    openExactly(input_, externalDevice_());
    openExactly(output1_, deckDevices_[0]);
    openExactly(output2_, deckDevices_[1]);
    // A port that failed says so now, before START launches the decks (whose own error boxes
    // would otherwise cover the console's).
    zen::midi::EventQueue::shared()->deliverNow();
}

void ConsolePorts::unloadMidi() {
    closeHeld(input_);
    closeHeld(output1_);
    closeHeld(output2_);
}

void ConsolePorts::setDeckDevices(qint16 deck1, qint16 deck2) {
    deckDevices_[0] = deck1;
    deckDevices_[1] = deck2;
}

void ConsolePorts::sendCommand(int deck, int command) {
    MIDIOutput(deck).sendMessage(deckDevice(deck), zen::cmd::kStatus, static_cast<qint16>(command),
                                 zen::cmd::kValue);
}

void ConsolePorts::portError(const QString& label, qint16 number, const QString& description) {
    host_.showMessage(label + QStringLiteral(" \r\n") + QString::number(number) +
                          QStringLiteral(": ") + description,
                      QStringLiteral("ZentariMix"), ConsoleHost::Icon::Critical);
    salir_();
}
