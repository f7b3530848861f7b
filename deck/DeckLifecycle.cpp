#include "deck/DeckLifecycle.h"

#include "common/ConfigFormat.h"
#include "common/Palette.h"
#include "common/ShapeWidget.h"
#include "common/WidgetColors.h"
#include "deck/DeckConfig.h"
#include "deck/DeckHost.h"
#include "deck/DeckSlider.h"
#include "deck/Equalizer.h"
#include "deck/RemoteControl.h"
#include "deck/SongPanel.h"
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
    setBackground(d_.ui.frmMain, pal[0]);
    for (ShapeWidget* shape : d_.ui.shpBack) {
        shape->setBorderColor(pal[1]);
        shape->setFillColor(pal[5]);
    }
    for (QLabel* label : d_.ui.lblinfo) {
        setBackground(label, pal[2]);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, zen::toQColor(zen::kDeckInfoText));
        label->setPalette(palette);
    }
    setBackground(d_.ui.pctSongInfo, pal[2]);
    // Opaque in the panel's colour: its repaints every 10 ms leave the panel below alone.
    setBackground(d_.ui.lblPosition, pal[5]);
    setBackground(d_.ui.chkRepeat, pal[5]);
    setBackground(d_.ui.chkMono, pal[5]);
    setBackground(d_.ui.optActivity, pal[5]);
}

void DeckLifecycle::ListDevices() {
    const std::vector<std::string> devices = d_.host.outputDevices();
    for (std::size_t i = 0; i < devices.size(); ++i)
        d_.ui.cmbDevices->addItem(QString::number(i) + QStringLiteral(" - ") +
                                  QString::fromStdString(devices[i]));
}

void DeckLifecycle::showDevice() {
    QComboBox* list = d_.ui.cmbDevices;
    const int device = d_.state.soundDevice;
    if (device >= 0 && device < list->count() && list->currentIndex() != device)
        list->setCurrentIndex(device);
}

QString DeckLifecycle::BassVersion() const {
    const std::uint32_t word = d_.engine.getVersion();
    return QString::number(word & 0xFFFF) + QLatin1Char('.') + QString::number(word >> 16);
}

void DeckLifecycle::fatal(const QString& text, const QString& title) {
    d_.host.showMessage(text, title, DeckHost::Icon::Critical);
    d_.host.endProcess();
}

bool DeckLifecycle::StartAudio() {
    // The engine is linked in, so it is always present; its version word is still checked.
    if (BassVersion() != QLatin1String("1.8")) {
        fatal(QStringLiteral("BASS version 1.8 was not loaded"), QStringLiteral("Bass.Dll"));
        return false;
    }
    if (!d_.engine.init(d_.state.soundDevice, 44100, 0)) {
        fatal(QStringLiteral("Error: Couldn't Initialize Digital Output"),
              QStringLiteral("Digital output"));
        return false;
    }
    d_.engine.start();
    zen::audio::EngineInfo info;
    info.words[0] = 56;
    if (!d_.engine.getInfo(info) || info.words[10] < 9) {
        d_.engine.free();
        fatal(QStringLiteral("DirectX version 9 is not Installed!!!"), QStringLiteral("DX8"));
        return false;
    }
    return true;
}

bool DeckLifecycle::startUp(const QString& deckArgument) {
    DeckState& s = d_.state;
    DoColors();
    s.Volume = 50;
    s.TouchAmount = 2500;
    s.Stopped = true;
    d_.ui.lblWindowTitle->setText(QStringLiteral("DECK ") + deckArgument);
    s.deckText = deckArgument;
    s.deckNumber = zen::config::leadingNumber(deckArgument);
    if (deckArgument.isEmpty()) {
        d_.host.showMessage(QStringLiteral("You must run ZentariDJ.exe."), QString(),
                            DeckHost::Icon::None);
        salir();
        return false;
    }
    if (s.deckNumber == 1)
        d_.ui.frmMain->move(0, 0);
    else if (s.deckNumber == 2)
        d_.ui.frmMain->move(kDeck2Left, 0);
    else
        d_.ui.frmMain->move(d_.ui.frmMain->x(), 0);
    ListDevices();
    // The spectrum picture's header and palette are fixed; its view built them with itself.
    d_.ui.pctSpectrum->start();
    d_.ui.cpuLoad->start();
    ReadConfig(d_);
    showDevice();
    if (!StartAudio()) return false;
    // The volume fader's value reaches the master levels from the start, as its change handling
    // would set them, so the first fader or pitch move makes no jump.
    equalizer_.faderChange(0);
    remote_.open();
    DoColors();
    transport_.setTimersRunning(true);
    return true;
}

void DeckLifecycle::salir() {
    transport_.setTimersRunning(false);
    transport_.tmrCue().stop();
    d_.ui.pctSongInfo->scroller().stop();
    d_.engine.stop();
    d_.engine.streamFree(d_.state.channel);
    d_.engine.musicFree(d_.state.channel);
    d_.engine.free();
    remote_.close();
    d_.host.endProcess();
}
