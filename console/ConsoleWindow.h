#pragma once

#include "console/ActivityMonitor.h"
#include "console/ConsoleConfig.h"
#include "console/ConsoleHost.h"
#include "console/ConsoleLifecycle.h"
#include "console/ConsolePorts.h"
#include "console/ConsoleUi.h"
#include "console/ControllerInput.h"
#include "console/CpuMeter.h"
#include "console/DeckLauncher.h"
#include "console/EngineControl.h"
#include "console/KeyPress.h"
#include "console/KeyShortcuts.h"
#include "console/MonitorText.h"
#include "console/OptionsPanel.h"
#include "console/Splash.h"

#include <QWidget>
#include <memory>

// frmMain of the console program: builds the controls and wires them to the console's
// operations, which live in the files of their concerns. The keyboard component and the CPU
// meter come from whoever builds the window (the program's own, or a test's).
class ConsoleWindow : public QWidget {
    Q_OBJECT
public:
    ConsoleWindow(ConsoleHost& host, std::unique_ptr<zen::console::KeyPress> keyPress,
                  std::unique_ptr<zen::console::CpuMeter> cpuMeter, QWidget* parent = nullptr);

    // Initialisation and load (the keys are read from then on), before the window is first
    // shown, then the activity monitor begins; false when the console ended.
    bool startUp();

    void salir() { lifecycle_.salir(); }

    ConsoleUi& ui() { return ui_; }
    OptionsPanel& frmOptions() { return panel_; }
    Splash& frmSplash() { return splash_; }
    ConsolePorts& ports() { return ports_; }
    EngineControl& engine() { return engine_; }
    DeckLauncher& launcher() { return launcher_; }
    ConsoleConfig& config() { return config_; }
    ConsoleLifecycle& lifecycle() { return lifecycle_; }
    zen::console::KeyPress& keyPress() { return *keyPress_; }
    zen::console::CpuMeter& cpuMeter() { return *cpuMeter_; }
    MonitorText& monitor() { return monitor_; }
    KeyShortcuts& keyShortcuts() { return keyShortcuts_; }
    ActivityMonitor& activity() { return activity_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void wire();
    // Capture ticked opens the ports; unticked closes them, unless the engine runs and needs them.
    void captureClicked(bool checked);

    ConsoleHost& host_;
    std::unique_ptr<zen::console::KeyPress> keyPress_;
    std::unique_ptr<zen::console::CpuMeter> cpuMeter_;
    ConsoleUi ui_;
    OptionsPanel panel_;
    Splash splash_;
    DeckLauncher launcher_;
    ConsolePorts ports_;
    ConsoleConfig config_;
    EngineControl engine_;
    ConsoleLifecycle lifecycle_;
    MonitorText monitor_;
    KeyShortcuts keyShortcuts_;
    ControllerInput controllerInput_;
    ActivityMonitor activity_;
};
