#include "console/EngineControl.h"

#include "common/DeckCommands.h"
#include "common/ZenButton.h"
#include "console/ConsoleConfig.h"
#include "console/ConsolePorts.h"
#include "console/DeckLauncher.h"

#include <QTimer>

namespace {

const QString kStart = QStringLiteral("START");
const QString kStop = QStringLiteral("STOP");

} // namespace

EngineControl::EngineControl(ConsoleHost& host, ZenButton& button, ConsolePorts& ports,
                             ConsoleConfig& config, DeckLauncher& launcher,
                             std::function<bool()> capturing)
    : host_(host), button_(button), ports_(ports), config_(config), launcher_(launcher),
      capturing_(std::move(capturing)) {}

bool EngineControl::running() const {
    return button_.Caption() == kStop;
}

void EngineControl::buttonDown() {
    if (button_.Caption() == kStart)
        start();
    else
        stop();
}

void EngineControl::start() {
    // A press while the copies are written takes back the START before it, as a STOP right after
    // it would (and a further one asks for it again): the decks start only if still wanted.
    if (config_.copying()) {
        startWanted_ = !startWanted_;
        return;
    }
    startWanted_ = true;
    // The ports are resolved from the copies the decks will read, and kept until the engine
    // stops, so a save while running takes effect at the next start on both sides. Without whole
    // copies nothing starts: a deck would be deaf, or play on stale settings.
    config_.copyToDecks([this](std::optional<std::array<qint16, 2>> devices) {
        if (!devices || !startWanted_) return;
        startRunning(*devices);
        launcher_.launch(1, (*devices)[0]);
        // A launch waits until the deck's program runs, longer on a busy machine: the window
        // answers what waits for it between the two. A STOP meanwhile leaves deck 2 unlaunched.
        QTimer::singleShot(kLaunchGapMs, &launcher_, [this, device = (*devices)[1]] {
            if (running()) launcher_.launch(2, device);
        });
    });
}

bool EngineControl::takeOver() {
    const std::array<qint16, 2> devices = config_.deckDevices();
    const bool deck1 = launcher_.takeOver(1, devices[0]);
    const bool deck2 = launcher_.takeOver(2, devices[1]);
    if (!deck1 && !deck2) return false;
    startRunning(devices);
    // The other deck of the set is missing: it starts now, on the copy in place.
    if (!deck1) launcher_.launch(1, devices[0]);
    if (!deck2) launcher_.launch(2, devices[1]);
    return true;
}

void EngineControl::startRunning(const std::array<qint16, 2>& devices) {
    button_.setDotColor(zen::kLightOnDot);
    button_.setOverColor(zen::kLightOnOver);
    ports_.setDeckDevices(devices[0], devices[1]);
    ports_.InitMidi();
    button_.setCaption(kStop);
    if (stateChanged_) stateChanged_(true);
}

void EngineControl::sendQuit() {
    ports_.sendCommand(1, zen::cmd::kQuit);
    ports_.sendCommand(2, zen::cmd::kQuit);
    launcher_.quitSent();
}

void EngineControl::stop() {
    sendQuit();
    // Keys stop driving the decks now, not after the wait: they are read on a thread of their own.
    if (stateChanged_) stateChanged_(false);
    host_.sleep(kStopWaitMs);
    // Capture needs the ports: they close once both the engine and capture are off.
    if (!capturing_()) ports_.unloadMidi();
    button_.setDotColor(zen::kLightOffDot);
    button_.setOverColor(zen::kLightOffOver);
    button_.setCaption(kStart);
}
