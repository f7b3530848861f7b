#pragma once

#include "console/ConsoleHost.h"

#include <array>
#include <functional>

class ConsoleConfig;
class ConsolePorts;
class DeckLauncher;
class ZenButton;

// The engine button fltButton(0): START launches the two decks, STOP tells them to quit. The
// engine's state is the button's caption, "START" (stopped) or "STOP" (running).
class EngineControl {
public:
    static constexpr int kStopWaitMs = 1000;
    // Between the two launches of START, for what waits on the window thread.
    static constexpr int kLaunchGapMs = 1;

    // `capturing` tells whether the options panel's Capture is ticked: the ports then stay open
    // after STOP.
    EngineControl(ConsoleHost& host, ZenButton& button, ConsolePorts& ports, ConsoleConfig& config,
                  DeckLauncher& launcher, std::function<bool()> capturing);

    bool running() const;
    // Called after every start and stop, with the new state.
    void setStateChanged(std::function<void(bool running)> changed) {
        stateChanged_ = std::move(changed);
    }
    // MouseDown on the button, with any mouse button: starts or stops the engine.
    void buttonDown();
    // At start-up: decks that run already (an earlier console's, or started by hand) are taken
    // over as a running engine, and the one missing is started. False when none runs.
    bool takeOver();
    // Command 40 to deck 1, then deck 2; the launcher then sees that they end.
    void sendQuit();

private:
    void start();
    void stop();
    // The ports open on the decks' devices, the button lit and captioned "STOP".
    void startRunning(const std::array<qint16, 2>& devices);

    ConsoleHost& host_;
    ZenButton& button_;
    ConsolePorts& ports_;
    ConsoleConfig& config_;
    DeckLauncher& launcher_;
    std::function<bool()> capturing_;
    std::function<void(bool)> stateChanged_;
    bool startWanted_ = false; // the last press while the copies were written asked for START
};
