#include "deck/RemoteControl.h"

#include "common/DeckCommands.h"
#include "deck/DeckHost.h"
#include "deck/Touch.h"
#include "deck/TrackLoader.h"
#include "deck/Transport.h"

#include <QRadioButton>
#include <cstdio>

namespace {

constexpr int kLedMs = 250;

} // namespace

RemoteControl::RemoteControl(DeckHost& host, const Controls& controls, const Parts& parts,
                             std::function<void()> salir)
    : host_(host), controls_(controls), parts_(parts), salir_(std::move(salir)) {
    tmrLED_.setInterval(kLedMs);
}

void RemoteControl::open(qint16 device) {
    device_ = device;
    midiInput_.action(device_, zen::MidiAction::Open);
    midiInput_.action(device_, zen::MidiAction::Start);
}

void RemoteControl::close() {
    midiInput_.action(device_, zen::MidiAction::Stop);
    midiInput_.action(device_, zen::MidiAction::Close);
    tmrLED_.stop();
}

void RemoteControl::messageReceived() {
    controls_.optActivity->setChecked(true);
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
    midiInput_.action(device_, zen::MidiAction::Received);
}

void RemoteControl::dispatch() {
    switch (midiInput_.data1()) {
    case zen::cmd::kPlayPause:
        parts_.transport.Zen_Pause();
        break;
    case zen::cmd::kStop:
        parts_.transport.flashStop();
        parts_.transport.Zen_Stop();
        break;
    case zen::cmd::kCue:
        parts_.transport.Zen_CUE();
        break;
    case zen::cmd::kTouchBack:
        parts_.touch.Zen_TouchB2();
        break;
    case zen::cmd::kTouchForward:
        parts_.touch.Zen_TouchF2();
        break;
    case zen::cmd::kTouchRelease:
        parts_.touch.Zen_TouchUp();
        break;
    default:
        break;
    }
}

void RemoteControl::portError(qint16 number, const QString& description) {
    std::fprintf(stderr, "ZentariDeck: MIDI error %d: %s\n", number, qPrintable(description));
    host_.showMessage(
        QStringLiteral("MIDI Error, check your hardware and configure ZentariMix again."),
        QStringLiteral("ZentariMix"), DeckHost::Icon::Critical);
    salir_();
}

void RemoteControl::ledTick() {
    controls_.optActivity->setChecked(false);
    tmrLED_.stop();
    // A latched cue keeps its "on" colours and a held bend its red: the light going off must not
    // tell the DJ that the cue or the bend has ended.
    parts_.transport.dimLights();
    parts_.touch.dimLights();
    parts_.loader.clearCommentLine();
}
