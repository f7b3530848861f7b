#include "deck/DeckWindow.h"

#include "common/ZenButton.h"
#include "deck/Browser.h"
#include "deck/DeckDisplays.h"
#include "deck/DeckSlider.h"
#include "deck/FramePacer.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>

namespace {

// Which of frmMain's controls each concern owns.

Loop::Controls loopControls(const DeckUi& ui) {
    return {.cmdLooped = ui.cmdLooped, .startTime = ui.lblinfo[6], .endTime = ui.lblinfo[7]};
}

Transport::Controls transportControls(const DeckUi& ui) {
    return {.cmdPlay = ui.cmdPlay,
            .cmdPause = ui.cmdPause,
            .cmdStop = ui.cmdStop,
            .cmdCUE = ui.cmdCUE,
            .trkPosition = ui.trkPosition,
            .lblPosition = ui.lblPosition,
            .chkRepeat = ui.chkRepeat};
}

BpmReadout::Controls bpmReadoutControls(const DeckUi& ui) {
    return {.Label9 = ui.Label9, .lblBPMs = ui.lblBPMs, .lblOrigBPM = ui.lblOrigBPM};
}

Equalizer::Controls equalizerControls(const DeckUi& ui) {
    return {.vscEQ = ui.vscEQ,
            .bandValues = {ui.lblinfo[11], ui.lblinfo[12], ui.lblinfo[13]},
            .hscEQ = ui.hscEQ,
            .faderValues = {ui.lblinfo[8], ui.lblinfo[9], ui.lblinfo[10]}};
}

TrackLoader::Controls loaderControls(const DeckUi& ui) {
    return {.pctSongInfo = ui.pctSongInfo,
            .tagLines = {ui.lblinfo[0], ui.lblinfo[1], ui.lblinfo[2], ui.lblinfo[3], ui.lblinfo[4],
                         ui.lblinfo[5]},
            .lblQuality = ui.lblQuality,
            .lblLength = ui.lblLength,
            .chkMono = ui.chkMono,
            .drvFile = ui.drvFile,
            .dirFile = ui.dirFile,
            .filFile = ui.filFile};
}

} // namespace

DeckWindow::DeckWindow(zen::audio::AudioEngine& engine, DeckHost& host, QWidget* parent)
    : QWidget(parent), ui_(createDeckControls(this)), loop_(engine, channel(), loopControls(ui_)),
      transport_(engine, channel(), transportControls(ui_), loop_),
      bpmReadout_(engine, bpmReadoutControls(ui_), *ui_.pctSongInfo),
      equalizer_(engine, channel(), equalizerControls(ui_), [this] { pitch_.ApplyPitch(); }),
      pitch_(engine, channel(), {.vscPitch = ui_.vscPitch, .lblBPM = ui_.lblBPM}, equalizer_,
             bpmReadout_),
      touch_(engine, channel(), {.cmdBack = ui_.cmdBack, .cmdForward = ui_.cmdForward}, transport_,
             pitch_, equalizer_),
      loader_(engine, loaderControls(ui_), {transport_, touch_, pitch_, equalizer_, bpmReadout_}),
      remote_(host, {.optActivity = ui_.optActivity}, {transport_, touch_, loader_},
              [this] { lifecycle_.salir(); }),
      recorder_(host, {transport_, loop_, pitch_, equalizer_, loader_, ui_}),
      lifecycle_({engine, host, ui_, transport_, equalizer_, touch_, loader_, bpmReadout_, remote_,
                  recorder_}),
      outputWatch_(engine, {.lblStatus = ui_.lblStatus}) {
    setWindowTitle(QStringLiteral(" Zentari DJ System"));
    setFixedSize(kDeckWidth, kDeckHeight);
    move(DeckLifecycle::kDesignLeft, 0);
    createDeckDisplays(ui_, engine, channel());
    FramePacer::install(*this);
    wireTransport();
    wirePitchAndFaders();
    wireBrowser();
    wireRemote();
}

zen::deck::ChannelSource DeckWindow::channel() {
    return [this] { return loader_.channel(); };
}

bool DeckWindow::startUp(const QString& deckArgument) {
    if (!lifecycle_.startUp(deckArgument)) return false;
    outputWatch_.start();
    return true;
}

void DeckWindow::wireTransport() {
    Transport* t = &transport_;
    connect(ui_.cmdPlay, &ZenButton::MouseDown, this, [t] { t->Zen_Pause(); });
    connect(ui_.cmdPause, &ZenButton::MouseDown, this, [t] { t->Zen_Pause(); });
    connect(ui_.cmdStop, &ZenButton::MouseDown, this, [t] { t->Zen_Stop(); });
    connect(ui_.cmdCUE, &ZenButton::MouseDown, this, [t] { t->Zen_CUE(); });
    connect(ui_.cmdCuePause, &ZenButton::MouseDown, this, [t] { t->Zen_CuePlay(); });
    connect(ui_.cmdCueSet, &ZenButton::Click, this, [t] { t->Zen_CueSet(); });
    connect(ui_.trkPosition, &DeckSlider::scrolled, this, [t] { t->seekToSlider(); });
    Touch* touch = &touch_;
    connect(ui_.cmdBack, &ZenButton::MouseDown, this, [touch] { touch->Zen_TouchB2(); });
    connect(ui_.cmdBack, &ZenButton::MouseUp, this, [touch] { touch->Zen_TouchUp(); });
    connect(ui_.cmdForward, &ZenButton::MouseDown, this, [touch] { touch->Zen_TouchF2(); });
    connect(ui_.cmdForward, &ZenButton::MouseUp, this, [touch] { touch->Zen_TouchUp(); });
    Loop* l = &loop_;
    connect(ui_.cmdStartLoop, &ZenButton::MouseDown, this, [l] { l->startPressed(); });
    connect(ui_.cmdEndLoop, &ZenButton::MouseDown, this, [l] { l->endPressed(); });
    connect(ui_.cmdLooped, &ZenButton::MouseDown, this, [l] { l->toggleLoop(); });
    connect(ui_.cmdFineDw, &ZenButton::Click, this, [l] { l->fineDownClicked(); });
    connect(ui_.cmdFineUp, &ZenButton::Click, this, [l] { l->fineUpClicked(); });
}

void DeckWindow::wirePitchAndFaders() {
    Pitch* p = &pitch_;
    Equalizer* eq = &equalizer_;
    connect(ui_.vscPitch, &DeckSlider::scrolled, this, [p] { p->pitchChange(); });
    connect(ui_.cmdPitchDw, &ZenButton::MouseDown, this, [p] { p->stepFaster(); });
    connect(ui_.cmdPitchUp, &ZenButton::MouseDown, this, [p] { p->stepSlower(); });
    for (int i = 0; i < Equalizer::kBandCount; ++i) {
        connect(ui_.vscEQ[i], &QAbstractSlider::valueChanged, this,
                [eq, i] { eq->bandChanged(i); });
        ui_.lblEQR[i]->installEventFilter(this);
    }
    for (int i = 0; i < 3; ++i) {
        connect(ui_.hscEQ[i], &QAbstractSlider::valueChanged, this,
                [eq, i] { eq->faderChange(i); });
        connect(ui_.hscEQ[i], &DeckSlider::scrolled, this, [eq, i] { eq->faderScroll(i); });
    }
}

void DeckWindow::wireBrowser() {
    DeckUi& ui = ui_;
    connect(ui.drvFile, &DriveList::driveChanged, this,
            [&ui](const QString& root) { ui.dirFile->setPath(root); });
    connect(ui.dirFile, &FolderList::pathChanged, this,
            [&ui](const QString& path) { ui.filFile->setPath(path); });
    connect(ui.filFile, &FileList::fileDoubleClicked, this,
            [this](const QString& name) { loader_.loadFile(name); });
    connect(ui.cmbDevices, &QComboBox::currentIndexChanged, this,
            [this] { lifecycle_.showDevice(); });
}

void DeckWindow::wireRemote() {
    RemoteControl* r = &remote_;
    connect(&r->MIDIInput(), &zen::MIDIInput::messageReceived, this, [r] { r->messageReceived(); });
    connect(&r->MIDIInput(), &zen::MidiPort::error, this,
            [r](qint16 number, const QString& description) { r->portError(number, description); });
    connect(&r->tmrLED(), &QTimer::timeout, this, [r] { r->ledTick(); });
}

bool DeckWindow::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease) {
        for (int i = 0; i < Equalizer::kBandCount; ++i) {
            if (watched != ui_.lblEQR[i]) continue;
            const int code = ZenButton::buttonCode(static_cast<QMouseEvent*>(event)->button());
            if (type == QEvent::MouseButtonPress)
                equalizer_.bandLabelDown(i, code);
            else
                equalizer_.bandLabelUp(i, code);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void DeckWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    lifecycle_.salir();
}
