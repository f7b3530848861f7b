#pragma once

#include <array>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QWidget;
class ShapeWidget;
class ZenButton;

// The controls of the console window frmMain. The window owns them.
struct ConsoleUi {
    QWidget* frmMain = nullptr;
    QLabel* lblWindowTittle = nullptr;
    QLabel* lblSalir = nullptr;            // the close box
    std::array<ZenButton*, 2> fltButton{}; // the engine button and "Config"
    std::vector<ShapeWidget*> shpBack;

    // The controller monitor: read-only, appended to, holding the latest few thousand lines.
    QPlainTextEdit* txtMonitor = nullptr;

    // The activity monitor. Each bar sits in a frame of its own width and is moved left, out of
    // sight, by what its percentage lacks of 100.
    QLabel* lblCPU = nullptr;
    ShapeWidget* shpCPUMeter = nullptr;
    QLabel* lblMem = nullptr;
    ShapeWidget* shpMem = nullptr;
    QLabel* lblMemTotal = nullptr; // memory in use, left of "of"
    QLabel* lblMemUsed = nullptr;  // total memory, right of "of"
};

// Creates the controls of frmMain at their places (pixels) with their captions and start values.
ConsoleUi createConsoleControls(QWidget* frmMain);

inline constexpr int kConsoleWidth = 300;
inline constexpr int kConsoleHeight = 422;
// The width of an activity bar's frame, and so how far left a bar at 0 % sits.
inline constexpr int kMeterWidth = 124;
inline constexpr int kMonitorLines = 5000;
