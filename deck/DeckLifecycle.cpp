#include "deck/DeckLifecycle.h"

#include "common/ConfigFormat.h"
#include "common/Palette.h"
#include "common/ShapeWidget.h"
#include "common/WidgetColors.h"
#include "deck/BpmReadout.h"
#include "deck/DeckHost.h"
#include "deck/DeckRecorder.h"
#include "deck/DeckUi.h"
#include "deck/Equalizer.h"
#include "deck/RemoteControl.h"
#include "deck/SongPanel.h"
#include "deck/Touch.h"
#include "deck/TrackLoader.h"
#include "deck/Transport.h"
#include "deck/audio/AudioEngine.h"
#include "deck/displays/CpuLoadDisplay.h"
#include "deck/displays/SpectrumView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QWidget>

using zen::setBackground;

void DeckLifecycle::DoColors() {
    const auto& pal = zen::kDeckPalette;
    const DeckUi& ui = p_.ui;
    setBackground(ui.frmMain, pal[0]);
    for (ShapeWidget* shape : ui.shpBack) {
        shape->setBorderColor(pal[1]);
        shape->setFillColor(pal[5]);
    }
    for (QLabel* label : ui.lblinfo) {
        setBackground(label, pal[2]);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, zen::toQColor(zen::kDeckInfoText));
        label->setPalette(palette);
    }
    setBackground(ui.pctSongInfo, pal[2]);
    // Opaque in the panel's colour: its repaints every 10 ms leave the panel below alone.
    setBackground(ui.lblPosition, pal[5]);
    setBackground(ui.chkRepeat, pal[5]);
    setBackground(ui.chkMono, pal[5]);
    setBackground(ui.optActivity, pal[5]);
}

void DeckLifecycle::ListDevices() {
    const std::vector<std::string> devices = p_.host.outputDevices();
    for (std::size_t i = 0; i < devices.size(); ++i)
        p_.ui.cmbDevices->addItem(QString::number(i) + QStringLiteral(" - ") +
                                  QString::fromStdString(devices[i]));
}

void DeckLifecycle::showDevice() {
    QComboBox* list = p_.ui.cmbDevices;
    const int device = config_.soundDevice;
    if (device >= 0 && device < list->count() && list->currentIndex() != device)
        list->setCurrentIndex(device);
}

QString DeckLifecycle::BassVersion() const {
    const std::uint32_t word = p_.engine.getVersion();
    return QString::number(word & 0xFFFF) + QLatin1Char('.') + QString::number(word >> 16);
}

void DeckLifecycle::fatal(const QString& text, const QString& title) {
    p_.host.showMessage(text, title, DeckHost::Icon::Critical);
    // The deck said why it ends: nobody is to take it for a crash and start it again.
    p_.recorder.end();
    p_.host.endProcess();
}

bool DeckLifecycle::StartAudio() {
    // The engine is linked in, so it is always present; its version word is still checked.
    if (BassVersion() != QLatin1String("1.8")) {
        fatal(QStringLiteral("BASS version 1.8 was not loaded"), QStringLiteral("Bass.Dll"));
        return false;
    }
    // The sound server tells the decks apart by this name, and remembers each one's place by it.
    p_.engine.setClientName("Zentari Deck " + deckText_.toStdString());
    if (!p_.engine.init(config_.soundDevice, 44100, 0)) {
        // Followed by what was tried and what to do.
        const QString problem = QString::fromStdString(p_.engine.outputProblem());
        fatal(QStringLiteral("Error: Couldn't Initialize Digital Output") +
                  (problem.isEmpty() ? QString() : QStringLiteral("\n\n") + problem),
              QStringLiteral("Digital output"));
        return false;
    }
    p_.engine.start();
    zen::audio::EngineInfo info;
    info.words[0] = 56;
    if (!p_.engine.getInfo(info) || info.words[10] < 9) {
        p_.engine.free();
        fatal(QStringLiteral("DirectX version 9 is not Installed!!!"), QStringLiteral("DX8"));
        return false;
    }
    return true;
}

void DeckLifecycle::place() {
    QWidget* frmMain = p_.ui.frmMain;
    if (deckNumber_ == 1)
        frmMain->move(0, 0);
    else if (deckNumber_ == 2)
        frmMain->move(kDeck2Left, 0);
    else
        frmMain->move(frmMain->x(), 0);
}

void DeckLifecycle::applyConfig() {
    config_ = ReadConfig(p_.host, deckText_);
    p_.bpmReadout.showReadouts(config_.bpmShown);
    p_.touch.setTracking(config_.trackingOn);
    p_.loader.openMusicFolder(config_.musicFolder);
    p_.loader.setGenres(config_.genres);
}

bool DeckLifecycle::startUp(const QString& deckArgument) {
    DoColors();
    // Volume 50, touch amount 2500 and a stopped transport are where their owners start.
    p_.ui.lblWindowTitle->setText(QStringLiteral("DECK ") + deckArgument);
    deckText_ = deckArgument;
    deckNumber_ = zen::config::leadingNumber(deckArgument);
    if (deckArgument.isEmpty()) {
        p_.host.showMessage(QStringLiteral("You must run ZentariMix."), QString(),
                            DeckHost::Icon::None);
        salir();
        return false;
    }
    // Before anything that may show a message and wait: a console that starts meanwhile finds
    // this deck by its record.
    p_.recorder.begin(deckArgument);
    place();
    ListDevices();
    // The spectrum picture's header and palette are fixed; its view built them with itself.
    p_.ui.pctSpectrum->start();
    p_.ui.cpuLoad->start();
    applyConfig();
    showDevice();
    if (!StartAudio()) return false;
    // The volume fader's value reaches the master levels from the start, as its change handling
    // would set them, so the first fader or pitch move makes no jump.
    p_.equalizer.faderChange(0);
    p_.remote.open(config_.midiInDevice);
    DoColors();
    p_.transport.setTimersRunning(true);
    p_.recorder.resume();
    return true;
}

void DeckLifecycle::salir() {
    p_.transport.stopTimers();
    p_.loader.stopScrolling();
    p_.engine.stop();
    p_.engine.streamFree(p_.loader.channel());
    p_.engine.musicFree(p_.loader.channel());
    p_.engine.free();
    p_.remote.close();
    p_.recorder.end();
    p_.host.endProcess();
}
