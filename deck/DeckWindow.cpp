#include "deck/DeckWindow.h"

#include "common/ZenButton.h"
#include "deck/Browser.h"
#include "deck/DeckDisplays.h"
#include "deck/DeckLayout.h"
#include "deck/DeckSlider.h"
#include "deck/FramePacer.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>

DeckWindow::DeckWindow(zen::audio::AudioEngine& engine, DeckHost& host, QWidget* parent)
    : QWidget(parent), deck_{engine, host, {}, {}}, transport_(deck_), pitch_(deck_), touch_(deck_),
      equalizer_(deck_, pitch_), bpmReadout_(deck_),
      loader_(deck_, equalizer_, bpmReadout_, transport_),
      remote_(deck_, transport_, touch_, [this] { lifecycle_.salir(); }),
      lifecycle_(deck_, equalizer_, transport_, remote_) {
    setWindowTitle(QStringLiteral(" Zentari DJ System"));
    setFixedSize(kDeckWidth, kDeckHeight);
    move(DeckLifecycle::kDesignLeft, 0);
    createDeckControls(this, deck_.ui);
    createDeckDisplays(deck_);
    FramePacer::install(*this);
    wireTransport();
    wirePitchAndFaders();
    wireBrowser();
    wireRemote();
}

bool DeckWindow::startUp(const QString& deckArgument) {
    return lifecycle_.startUp(deckArgument);
}

void DeckWindow::wireTransport() {
    DeckUi& ui = deck_.ui;
    Transport* t = &transport_;
    connect(ui.cmdPlay, &ZenButton::MouseDown, this, [t] { t->Zen_Pause(); });
    connect(ui.cmdPause, &ZenButton::MouseDown, this, [t] { t->Zen_Pause(); });
    connect(ui.cmdStop, &ZenButton::MouseDown, this, [t] { t->Zen_Stop(); });
    connect(ui.cmdCUE, &ZenButton::MouseDown, this, [t] { t->Zen_CUE(); });
    Touch* touch = &touch_;
    connect(ui.cmdBack, &ZenButton::MouseDown, this, [touch] { touch->Zen_TouchB2(); });
    connect(ui.cmdBack, &ZenButton::MouseUp, this, [touch] { touch->Zen_TouchUp(); });
    connect(ui.cmdForward, &ZenButton::MouseDown, this, [touch] { touch->Zen_TouchF2(); });
    connect(ui.cmdForward, &ZenButton::MouseUp, this, [touch] { touch->Zen_TouchUp(); });
    connect(ui.cmdCuePause, &ZenButton::MouseDown, this, [t] { t->Zen_CuePlay(); });
    connect(ui.cmdCueSet, &ZenButton::Click, this, [t] { t->Zen_CueSet(); });
    connect(ui.cmdStartLoop, &ZenButton::MouseDown, this,
            [t, &ui] { ui.lblinfo[6]->setText(t->Zen_LoopStart()); });
    connect(ui.cmdEndLoop, &ZenButton::MouseDown, this,
            [t, &ui] { ui.lblinfo[7]->setText(t->Zen_LoopEnd()); });
    connect(ui.cmdLooped, &ZenButton::MouseDown, this, [t] { t->toggleLoop(); });
    connect(ui.cmdFineDw, &ZenButton::Click, this, [t, &ui] {
        std::int16_t step = 500;
        ui.lblinfo[7]->setText(t->Zen_FineDw(step));
    });
    connect(ui.cmdFineUp, &ZenButton::Click, this, [t, &ui] {
        std::int16_t step = 500;
        ui.lblinfo[7]->setText(t->Zen_FineUp(step));
    });
    connect(ui.trkPosition, &DeckSlider::scrolled, this, [t] { t->seekToSlider(); });
}

void DeckWindow::wirePitchAndFaders() {
    DeckUi& ui = deck_.ui;
    Pitch* p = &pitch_;
    Equalizer* eq = &equalizer_;
    connect(ui.vscPitch, &DeckSlider::scrolled, this, [p] { p->pitchChange(); });
    connect(ui.cmdPitchDw, &ZenButton::MouseDown, this, [p] { p->stepFaster(); });
    connect(ui.cmdPitchUp, &ZenButton::MouseDown, this, [p] { p->stepSlower(); });
    for (int i = 0; i < Equalizer::kBandCount; ++i) {
        connect(ui.vscEQ[i], &QAbstractSlider::valueChanged, this, [eq, i] { eq->bandChanged(i); });
        ui.lblEQR[i]->installEventFilter(this);
    }
    for (int i = 0; i < 3; ++i) {
        connect(ui.hscEQ[i], &QAbstractSlider::valueChanged, this, [eq, i] { eq->faderChange(i); });
        connect(ui.hscEQ[i], &DeckSlider::scrolled, this, [eq, i] { eq->faderScroll(i); });
    }
}

void DeckWindow::wireBrowser() {
    DeckUi& ui = deck_.ui;
    connect(ui.drvFile, &DriveList::driveChanged, this,
            [&ui](const QString& root) { ui.dirFile->setPath(root); });
    connect(ui.dirFile, &FolderList::pathChanged, this,
            [&ui](const QString& path) { ui.filFile->setPath(path); });
    connect(ui.filFile, &FileList::fileDoubleClicked, this,
            [this](const QString& name) { loadFile(name); });
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

void DeckWindow::loadFile(const QString& fileName) {
    if (!fileName.isEmpty()) loader_.load(deck_.ui.filFile->path(), fileName);
}

bool DeckWindow::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease) {
        for (int i = 0; i < Equalizer::kBandCount; ++i) {
            if (watched != deck_.ui.lblEQR[i]) continue;
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
