#include "common/Palette.h"
#include "common/ShapeWidget.h"
#include "common/WidgetColors.h"
#include "common/ZenButton.h"
#include "console/ConsoleUi.h"
#include "console/Controls.h"

#include <QLabel>
#include <QPlainTextEdit>

namespace {

using controls::heading;
using controls::label;

ZenButton* button(QWidget* parent, const QString& caption, const QRect& place) {
    return controls::button(parent, caption, place, 8);
}

// A bar in its frame, at 0 %.
ShapeWidget* meter(QWidget* parent, int x, int y) {
    auto* frame = new QWidget(parent);
    frame->setGeometry(x, y, kMeterWidth, 14);
    auto* bar = new ShapeWidget(frame);
    bar->setGeometry(-kMeterWidth, 0, kMeterWidth, 14);
    bar->setBorderColor(zen::kConsoleMeterFill);
    return bar;
}

void createActivity(QWidget* w, ConsoleUi& ui) {
    heading(w, QStringLiteral("Activity Monitor"), {10, 316, 200, 16});
    label(w, QStringLiteral("CPU"), {10, 338, 60, 18});
    ui.lblCPU =
        label(w, QStringLiteral("0%"), {70, 338, 52, 18}, Qt::AlignRight | Qt::AlignVCenter);
    ui.shpCPUMeter = meter(w, 134, 340);
    label(w, QStringLiteral("Memory"), {10, 362, 60, 18});
    ui.lblMem =
        label(w, QStringLiteral("0%"), {70, 362, 52, 18}, Qt::AlignRight | Qt::AlignVCenter);
    ui.shpMem = meter(w, 134, 364);
    ui.lblMemTotal =
        label(w, QStringLiteral("0kB"), {10, 388, 112, 18}, Qt::AlignRight | Qt::AlignVCenter);
    label(w, QStringLiteral("of"), {126, 388, 20, 18}, Qt::AlignCenter);
    ui.lblMemUsed = label(w, QStringLiteral("0kB"), {150, 388, 112, 18});
}

} // namespace

ConsoleUi createConsoleControls(QWidget* frmMain) {
    ConsoleUi ui;
    ui.frmMain = frmMain;
    for (const QRect& place :
         {QRect(2, 22, 296, 56), QRect(2, 80, 296, 230), QRect(2, 312, 296, 108)}) {
        auto* shape = new ShapeWidget(frmMain);
        shape->setGeometry(place);
        ui.shpBack.push_back(shape);
    }
    ui.lblWindowTittle = heading(frmMain, QStringLiteral("ZentariMix"),
                                 {0, 0, kConsoleWidth - 22, 20}, Qt::AlignCenter);
    ui.lblSalir =
        heading(frmMain, QStringLiteral("x"), {kConsoleWidth - 22, 0, 22, 20}, Qt::AlignCenter);
    zen::setBackground(ui.lblSalir, zen::rgb(0, 96, 96));

    // The stored form of the engine button: caption "START" with the stopped lights.
    ui.fltButton[0] = button(frmMain, QStringLiteral("START"), {10, 28, 136, 44});
    ui.fltButton[0]->setDotColor(zen::kLightOffDot);
    ui.fltButton[0]->setOverColor(zen::kLightOffOver);
    ui.fltButton[1] = button(frmMain, QStringLiteral("Config"), {154, 28, 136, 44});

    heading(frmMain, QStringLiteral("Monitor"), {10, 84, 200, 16});
    ui.txtMonitor = new QPlainTextEdit(frmMain);
    ui.txtMonitor->setGeometry(10, 102, 280, 200);
    ui.txtMonitor->setReadOnly(true);
    ui.txtMonitor->setMaximumBlockCount(kMonitorLines);

    createActivity(frmMain, ui);
    return ui;
}
