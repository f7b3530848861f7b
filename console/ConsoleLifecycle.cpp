#include "console/ConsoleLifecycle.h"

#include "common/Palette.h"
#include "common/ShapeWidget.h"
#include "common/WidgetColors.h"
#include "console/ConsoleConfig.h"
#include "console/ConsolePlace.h"
#include "console/ConsolePorts.h"
#include "console/CpuMeter.h"
#include "console/DeckLauncher.h"
#include "console/EngineControl.h"
#include "console/KeyShortcuts.h"
#include "console/OptionsPanel.h"
#include "console/Splash.h"

namespace {

// Where the user guide explains the virtual MIDI cables.
const QString kCablesGuide = QStringLiteral("docs/user-guide.md#midi-cables");

const QString kCablePrefix = QStringLiteral("MIDI Yoke");

} // namespace

void ConsoleLifecycle::initialise() {
    const QSize screen = p_.host.screenSize();
    if (screen.width() < 1024 && screen.height() < 768)
        p_.host.showMessage(QStringLiteral("You need at least 1024x768 to run this software."),
                            QString(), ConsoleHost::Icon::None);
    p_.cpuMeter.Initialize();
}

bool ConsoleLifecycle::load() {
    p_.splash.present(p_.host);
    if (!LoadDevices()) return false;
    p_.keys.start(*p_.ui.frmMain);
    p_.config.LoadConfig();
    // Clear of the decks, or above them, so the engine button stays in reach.
    const ConsolePlace place = consolePlace(p_.host.screenSize());
    p_.ui.frmMain->setWindowFlag(Qt::WindowStaysOnTopHint, place.keepAbove);
    p_.ui.frmMain->move(place.topLeft);
    DoColors();
    return true;
}

bool ConsoleLifecycle::LoadDevices() {
    const zen::sound::OutputList outputs = p_.host.soundDevices();
    const std::vector<std::string> sound = zen::sound::descriptions(outputs);
    if (sound.empty()) {
        // Followed by the servers tried and what to start.
        p_.host.showMessage(
            QStringLiteral("No sound devices. Check your sound configuration.\n\n") +
                QString::fromStdString(outputs.problem),
            QString(), ConsoleHost::Icon::None);
        p_.host.endProcess();
        return false;
    }
    QStringList soundItems;
    for (std::size_t i = 0; i < sound.size(); ++i)
        soundItems.append(QString::number(i) + QStringLiteral(" - ") +
                          QString::fromStdString(sound[i]));

    QStringList externalItems{QStringLiteral("<none>")};
    const QStringList inputs = p_.host.midiInputs();
    for (qsizetype j = 0; j < inputs.size(); ++j)
        externalItems.append(QString::number(j) + QLatin1Char(':') + inputs[j]);

    QStringList internalItems{QStringLiteral("<none>")};
    for (const QString& name : p_.host.midiOutputs())
        if (name.left(kCablePrefix.size()) == kCablePrefix) internalItems.append(name);
    p_.panel.fillDeviceLists(soundItems, externalItems, internalItems);

    if (internalItems.size() - 1 < 2) {
        p_.host.showMessage(
            QStringLiteral("You must install Midi Yoke Junction to run ZentariMix. Info at ") +
                kCablesGuide,
            QString(), ConsoleHost::Icon::None);
        p_.host.endProcess();
        return false;
    }
    return true;
}

void ConsoleLifecycle::DoColors() {
    zen::setBackground(p_.ui.frmMain, zen::kConsoleBackground);
    for (ShapeWidget* shape : p_.ui.shpBack) {
        shape->setBorderColor(zen::kConsolePanelBorder);
        shape->setFillColor(zen::kConsolePanelFill);
    }
    p_.ui.shpCPUMeter->setFillColor(zen::kConsoleMeterFill);
    p_.ui.shpMem->setFillColor(zen::kConsoleMeterFill);
    p_.panel.DoColors();
}

void ConsoleLifecycle::salir() {
    if (!p_.host.askYesNo(QStringLiteral("Are you sure to exit?"), QStringLiteral("ZentariMix")))
        return;
    if (p_.engine.running()) {
        p_.engine.sendQuit();
        p_.host.sleep(kExitWaitMs);
    }
    p_.ports.unloadMidi();
    p_.launcher.terminateAll();
    end();
}

bool ConsoleLifecycle::closeRequest() {
    if (!p_.host.askYesNo(QStringLiteral("Are you sure to exit?"), QStringLiteral("ZentariMix")))
        return false;
    p_.ports.unloadMidi();
    end();
    return true;
}

void ConsoleLifecycle::end() {
    p_.keys.stop();
    p_.panel.close();
    p_.splash.close();
    p_.host.endProcess();
}
