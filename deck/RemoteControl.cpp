#include "deck/RemoteControl.h"

#include "common/Colors.h"
#include "common/DeckCommands.h"
#include "common/ZenButton.h"
#include "deck/DeckHost.h"
#include "deck/Touch.h"
#include "deck/Transport.h"

#include <QLabel>
#include <QRadioButton>
#include <cstdio>

namespace {

constexpr int kLedMs = 250;
constexpr zen::Rgb kStopCommandDot = zen::rgb(255, 0, 0);
constexpr zen::Rgb kIdleDot = zen::rgb(128, 0, 0);

} // namespace

RemoteControl::RemoteControl(Deck& deck, Transport& transport, Touch& touch,
                             std::function<void()> salir)
    : d_(deck), transport_(transport), touch_(touch), salir_(std::move(salir)) {
    tmrLED_.setInterval(kLedMs);
}

void RemoteControl::open() {
    const qint16 device = d_.state.midiInDevice;
    midiInput_.action(device, zen::MidiAction::Open);
    midiInput_.action(device, zen::MidiAction::Start);
}

void RemoteControl::close() {
    const qint16 device = d_.state.midiInDevice;
    midiInput_.action(device, zen::MidiAction::Stop);
    midiInput_.action(device, zen::MidiAction::Close);
    tmrLED_.stop();
}

void RemoteControl::messageReceived() {
    d_.ui.optActivity->setChecked(true);
    // Enabling a running timer does not restart it: the light goes off 250 ms after the first of
    // a run of messages.
    if (!tmrLED_.isActive()) tmrLED_.start();
    if (midiInput_.status() == zen::cmd::kStatus) {
        if (midiInput_.data1() == zen::cmd::kQuit) {
            // The deck ends in there; nothing of this handler may run after it.
            salir_();
            return;
        }
        dispatch();
    }
    midiInput_.action(d_.state.midiInDevice, zen::MidiAction::Received);
}

void RemoteControl::dispatch() {
    switch (midiInput_.data1()) {
    case zen::cmd::kPlayPause:
        transport_.Zen_Pause();
        break;
    case zen::cmd::kStop:
        d_.ui.cmdStop->setDotColor(kStopCommandDot);
        transport_.Zen_Stop();
        break;
    case zen::cmd::kCue:
        transport_.Zen_CUE();
        break;
    case zen::cmd::kTouchBack:
        touch_.Zen_TouchB2();
        break;
    case zen::cmd::kTouchForward:
        touch_.Zen_TouchF2();
        break;
    case zen::cmd::kTouchRelease:
        touch_.Zen_TouchUp();
        break;
    default:
        break;
    }
}

void RemoteControl::portError(qint16 number, const QString& description) {
    std::fprintf(stderr, "ZentariDeck: MIDI error %d: %s\n", number, qPrintable(description));
    d_.host.showMessage(
        QStringLiteral("MIDI Error, check your hardware and configure ZentariMix again."),
        QStringLiteral("ZentariMix"), DeckHost::Icon::Critical);
    salir_();
}

void RemoteControl::ledTick() {
    DeckUi& ui = d_.ui;
    ui.optActivity->setChecked(false);
    tmrLED_.stop();
    // A latched cue keeps its "on" colours and a held bend its red: the light going off must not
    // tell the DJ that the cue or the bend has ended.
    if (!d_.state.CueHeld) ui.cmdCUE->setDotColor(kIdleDot);
    if (!d_.state.bendHeld) {
        ui.cmdForward->setDotColor(kIdleDot);
        ui.cmdBack->setDotColor(kIdleDot);
    }
    ui.cmdPause->setDotColor(kIdleDot);
    ui.cmdPlay->setDotColor(kIdleDot);
    ui.cmdStop->setDotColor(kIdleDot);
    ui.lblinfo[4]->setText(QString());
}
