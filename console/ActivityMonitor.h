#pragma once

#include <QObject>
#include <QTimer>

class ConsoleHost;
struct ConsoleUi;

namespace zen::console {
class CpuMeter;
} // namespace zen::console

// The console's "Activity Monitor": once a second, tmrCPUMeter shows the processor load and the
// share of physical memory in use, each as a percentage and a bar, with the memory in use and the
// total in megabytes. A figure that cannot be had leaves its row as it was.
class ActivityMonitor : public QObject {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 1000;

    // The memory status comes from the host.
    ActivityMonitor(ConsoleUi& ui, zen::console::CpuMeter& cpuMeter, ConsoleHost& host);

    void start();
    // One tick of tmrCPUMeter.
    void refresh();

    QTimer& tmrCPUMeter() { return tmrCPUMeter_; }

private:
    ConsoleUi& ui_;
    zen::console::CpuMeter& cpuMeter_;
    ConsoleHost& host_;
    QTimer tmrCPUMeter_;
};
