#include "console/ActivityMonitor.h"

#include "common/ShapeWidget.h"
#include "console/ActivityRows.h"
#include "console/ConsoleHost.h"
#include "console/ConsoleUi.h"
#include "console/CpuMeter.h"

#include <QLabel>

namespace {

void showRow(QLabel* label, ShapeWidget* bar, const zen::console::MeterRow& row) {
    label->setText(row.percent);
    bar->move(row.barLeft, bar->y());
}

} // namespace

ActivityMonitor::ActivityMonitor(ConsoleUi& ui, zen::console::CpuMeter& cpuMeter, ConsoleHost& host)
    : ui_(ui), cpuMeter_(cpuMeter), host_(host) {
    tmrCPUMeter_.setInterval(kRefreshMs);
    connect(&tmrCPUMeter_, &QTimer::timeout, this, &ActivityMonitor::refresh);
}

void ActivityMonitor::start() {
    tmrCPUMeter_.start();
}

void ActivityMonitor::refresh() {
    if (const auto cpu = zen::console::cpuRow(cpuMeter_.Query()))
        showRow(ui_.lblCPU, ui_.shpCPUMeter, *cpu);
    if (const auto memory = zen::console::memoryRow(host_.memoryStatus())) {
        showRow(ui_.lblMem, ui_.shpMem, memory->share);
        ui_.lblMemTotal->setText(memory->inUse);
        ui_.lblMemUsed->setText(memory->total);
    }
}
