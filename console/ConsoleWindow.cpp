#include "console/ConsoleWindow.h"

#include "common/WidgetColors.h"
#include "common/WindowDrag.h"
#include "common/ZenButton.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>

namespace {

constexpr zen::Rgb kCloseBoxDown = zen::rgb(0, 192, 192);
constexpr zen::Rgb kCloseBoxUp = zen::rgb(0, 96, 96);

} // namespace

ConsoleWindow::ConsoleWindow(ConsoleHost& host, std::unique_ptr<zen::console::KeyPress> keyPress,
                             std::unique_ptr<zen::console::CpuMeter> cpuMeter, QWidget* parent)
    : QWidget(parent), host_(host), keyPress_(std::move(keyPress)), cpuMeter_(std::move(cpuMeter)),
      ui_(createConsoleControls(this)), launcher_(host),
      ports_(
          host, [this] { return panel_.externalDevice(); }, [this] { lifecycle_.salir(); }),
      config_(host, panel_, ports_), engine_(host, *ui_.fltButton[0], ports_, config_, launcher_,
                                             [this] { return panel_.captureTicked(); }),
      lifecycle_({host, ui_, panel_, splash_, ports_, config_, engine_, launcher_, keyShortcuts_,
                  *cpuMeter_}),
      monitor_(*ui_.txtMonitor), keyShortcuts_(*keyPress_, panel_, ports_, monitor_),
      controllerInput_(ports_, panel_, monitor_), activity_(ui_, *cpuMeter_, host) {
    setWindowTitle(QStringLiteral("ZentariMix"));
    // Its own title label and close box stand in for the window manager's.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFixedSize(kConsoleWidth, kConsoleHeight);
    zen::WindowDrag::install(*ui_.lblWindowTittle);
    ui_.lblSalir->installEventFilter(this);
    wire();
}

bool ConsoleWindow::startUp() {
    lifecycle_.initialise();
    if (!lifecycle_.load()) return false;
    if (engine_.takeOver()) monitor_.append(QStringLiteral("Running decks taken over"));
    activity_.start();
    return true;
}

void ConsoleWindow::wire() {
    connect(ui_.fltButton[0], &ZenButton::MouseDown, this, [this] { engine_.buttonDown(); });
    engine_.setStateChanged([this](bool running) { keyShortcuts_.setEngineRunning(running); });
    connect(ui_.fltButton[1], &ZenButton::MouseDown, this, [this] {
        panel_.show();
        panel_.raise();
    });
    connect(&panel_, &OptionsPanel::captureClicked, this, &ConsoleWindow::captureClicked);
    connect(&panel_, &OptionsPanel::saveRequested, this, [this] { config_.saveAndClose(); });
    connect(&ports_.MIDIInput1(), &zen::MIDIInput::messageReceived, this,
            [this] { controllerInput_.messageReceived(); });
    connect(&launcher_, &DeckLauncher::restarted, this,
            [this](int deck) { monitor_.append(QStringLiteral("Deck %1 restarted").arg(deck)); });
    connect(&launcher_, &DeckLauncher::leftDown, this, [this](int deck) {
        monitor_.append(QStringLiteral("Deck %1 failed %2 times in a minute: left down")
                            .arg(deck)
                            .arg(DeckLauncher::kRestartLimit));
    });
}

void ConsoleWindow::captureClicked(bool checked) {
    if (checked)
        ports_.InitMidi();
    else if (!engine_.running())
        ports_.unloadMidi();
}

bool ConsoleWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_.lblSalir) {
        if (event->type() == QEvent::MouseButtonPress) {
            zen::setBackground(ui_.lblSalir, kCloseBoxDown);
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease) {
            zen::setBackground(ui_.lblSalir, kCloseBoxUp);
            const auto* release = static_cast<QMouseEvent*>(event);
            if (ui_.lblSalir->rect().contains(release->position().toPoint())) lifecycle_.salir();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ConsoleWindow::closeEvent(QCloseEvent* event) {
    if (lifecycle_.closeRequest())
        event->accept();
    else
        event->ignore();
}
