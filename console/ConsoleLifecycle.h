#pragma once

#include "console/ConsoleHost.h"
#include "console/ConsoleUi.h"

class ConsoleConfig;
class ConsolePorts;
class DeckLauncher;
class EngineControl;
class KeyShortcuts;
class OptionsPanel;
class Splash;

namespace zen::console {
class CpuMeter;
} // namespace zen::console

// The console's start-up, in its order, and its two ways out.
class ConsoleLifecycle {
public:
    static constexpr int kExitWaitMs = 2000;

    struct Parts {
        ConsoleHost& host;
        ConsoleUi& ui;
        OptionsPanel& panel;
        Splash& splash;
        ConsolePorts& ports;
        ConsoleConfig& config;
        EngineControl& engine;
        DeckLauncher& launcher;
        KeyShortcuts& keys;
        zen::console::CpuMeter& cpuMeter;
    };

    explicit ConsoleLifecycle(const Parts& parts) : p_(parts) {}

    // Window initialisation: the screen-size warning and the CPU meter.
    void initialise();
    // Window load: splash, device lists, keyboard shortcuts, configuration, the window's place,
    // colours.
    // False when the console ended on the way (in the program the process is gone by then).
    bool load();

    // Fills the panel's device lists; false, after the message, when the console must end.
    bool LoadDevices();
    // The console palette on both windows.
    void DoColors();
    // The close box: asks, tells running decks to quit, ends the console. Decks still running
    // after the wait are sent SIGTERM, so none is left behind.
    void salir();
    // The window's close request: asks; true when the console ended. Running decks go on.
    bool closeRequest();

private:
    void end();

    Parts p_;
};
