#include "deck/DeckUi.h"

#include "common/Palette.h"
#include "common/ShapeWidget.h"
#include "common/WidgetColors.h"
#include "common/ZenButton.h"
#include "deck/Browser.h"
#include "deck/DeckSlider.h"
#include "deck/Equalizer.h"
#include "deck/Pitch.h"
#include "deck/PositionLabel.h"
#include "deck/SongPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>

namespace {

QLabel* label(QWidget* parent, const QString& text, const QRect& place,
              Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* l = new QLabel(parent);
    // Plain text: tag fields, file names and paths are shown as stored, never read as markup
    // (an image tag in a tag field would make the label open a file of the tag's choosing).
    l->setTextFormat(Qt::PlainText);
    l->setText(text);
    l->setGeometry(place);
    // A fixed size: labels that timers rewrite (the position, every 10 ms) repaint themselves
    // alone instead of asking the window for a new layout.
    l->setFixedSize(place.size());
    l->setAlignment(align);
    return l;
}

QLabel* infoLabel(QWidget* parent, const QString& text, const QRect& place) {
    QLabel* l = label(parent, text, place);
    l->setAutoFillBackground(true);
    return l;
}

ZenButton* button(QWidget* parent, const QString& caption, const QRect& place) {
    auto* b = new ZenButton(parent);
    b->setGeometry(place);
    b->setCaption(caption);
    b->setDotX(3);
    b->setDotY(3);
    b->setDotWidth(6);
    b->setDotHeight(6);
    // Every deck button starts with the idle light, so a latching button shows "off" and a held
    // touch button its red from the first frame, also under the pointer.
    b->setDotColor(zen::kLightOffDot);
    b->setOverColor(zen::kLightOffOver);
    return b;
}

ShapeWidget* panel(QWidget* parent, DeckUi& ui, const QRect& place) {
    auto* shape = new ShapeWidget(parent);
    shape->setGeometry(place);
    ui.shpBack.push_back(shape);
    return shape;
}

void createPanels(QWidget* w, DeckUi& ui) {
    panel(w, ui, {2, 22, 575, 128});    // song panel and track read-outs
    panel(w, ui, {2, 152, 392, 104});   // spectrum
    panel(w, ui, {396, 152, 181, 104}); // level meter and equalizer
    panel(w, ui, {2, 258, 500, 92});    // transport, position and faders
    panel(w, ui, {504, 258, 73, 270});  // pitch
    panel(w, ui, {2, 352, 500, 206});   // browser
}

void createSongInfo(QWidget* w, DeckUi& ui) {
    ui.lblWindowTitle = label(w, QString(), {0, 0, 579, 20}, Qt::AlignCenter);
    QFont titleFont = ui.lblWindowTitle->font();
    titleFont.setBold(true);
    ui.lblWindowTitle->setFont(titleFont);

    ui.pctSongInfo = new SongPanel(w);
    ui.pctSongInfo->setGeometry(8, 26, SongPanel::kWidth, 20);
    ui.lblFileName = ui.pctSongInfo->lblFileName();
    QPalette namePalette = ui.lblFileName->palette();
    namePalette.setColor(QPalette::WindowText, Qt::white);
    ui.lblFileName->setPalette(namePalette);

    const char* captions[6] = {"Title", "Artist", "Album", "Year", "Comm.", "Genre"};
    for (int i = 0; i < 6; ++i) {
        const int y = 50 + i * 16;
        ui.tagCaptions[i] = label(w, QString::fromLatin1(captions[i]), {8, y, 44, 15});
        ui.lblinfo[i] = infoLabel(w, QString(), {54, y, 336, 15});
    }

    ui.lblQuality = label(w, QStringLiteral("- - - - - Hz"), {396, 26, 84, 20});
    ui.lblLength = label(w, QStringLiteral("- - : - - , - -"), {482, 26, 90, 20});
    ui.Label9 = label(w, QStringLiteral("BPM"), {396, 50, 40, 16});
    ui.lblBPMs = label(w, QStringLiteral("Not Detected"), {438, 50, 134, 16});
    label(w, QStringLiteral("Detected"), {396, 68, 56, 16});
    ui.lblOrigBPM = label(w, QString(), {454, 68, 118, 16});
    ui.lblPosition = new PositionLabel(QStringLiteral("- - : - - , - - -"), w);
    ui.lblPosition->setGeometry(396, 88, 176, 36);
    ui.lblPosition->setFixedSize(176, 36);
    QFont positionFont = ui.lblPosition->font();
    positionFont.setPointSize(18);
    positionFont.setBold(true);
    ui.lblPosition->setFont(positionFont);
}

void createEqualizer(QWidget* w, DeckUi& ui) {
    const char* bands[3] = {"LOW", "MID", "HIGH"};
    for (int i = 0; i < Equalizer::kBandCount; ++i) {
        const int x = 432 + i * 46;
        ui.lblEQR[i] = label(w, QString::fromLatin1(bands[i]), {x, 154, 42, 14}, Qt::AlignCenter);
        ui.lblEQR[i]->setToolTip(
            QStringLiteral("Hold the right button to kill the band, click to reset it"));
        ui.vscEQ[i] = new DeckSlider(Qt::Vertical, Equalizer::kEqTop, Equalizer::kEqBottom, w);
        ui.vscEQ[i]->setGeometry(x + 9, 170, 24, 66);
        ui.vscEQ[i]->setPageStep(50);
        ui.vscEQ[i]->setSingleStep(1);
        ui.vscEQ[i]->setValue(0);
        ui.lblinfo[11 + i] = infoLabel(w, QStringLiteral("0"), {x, 238, 42, 15});
        ui.lblinfo[11 + i]->setAlignment(Qt::AlignCenter);
    }
}

void createTransport(QWidget* w, DeckUi& ui) {
    ui.cmdCUE = button(w, QStringLiteral("CUE"), {8, 261, 41, 41});
    ui.cmdCuePause = button(w, QStringLiteral("p"), {52, 261, 26, 19});
    ui.cmdCueSet = button(w, QStringLiteral("s"), {52, 283, 26, 19});
    ui.cmdStop = button(w, QStringLiteral("STP"), {81, 261, 41, 41});
    ui.cmdBack = button(w, QStringLiteral("<<"), {125, 261, 41, 41});
    ui.cmdForward = button(w, QStringLiteral(">>"), {168, 261, 41, 41});
    ui.cmdStartLoop = button(w, QStringLiteral("s"), {211, 261, 26, 19});
    ui.cmdEndLoop = button(w, QStringLiteral("e"), {211, 283, 26, 19});
    ui.cmdLooped = button(w, QStringLiteral("L"), {240, 261, 26, 41});
    ui.cmdFineDw = button(w, QStringLiteral("d"), {269, 261, 26, 19});
    ui.cmdFineUp = button(w, QStringLiteral("u"), {269, 283, 26, 19});
    ui.cmdPlay = button(w, QStringLiteral(">"), {304, 261, 41, 41});
    ui.cmdPause = button(w, QStringLiteral("||"), {304, 261, 41, 41});
    ui.lblinfo[6] = infoLabel(w, QString(), {350, 261, 80, 19});
    ui.lblinfo[7] = infoLabel(w, QString(), {350, 283, 80, 19});
    ui.chkRepeat = new QCheckBox(QStringLiteral("Repeat"), w);
    ui.chkRepeat->setGeometry(434, 261, 66, 19);
    ui.chkRepeat->setFocusPolicy(Qt::NoFocus);
    // A light, not a switch: only the console's commands turn it on.
    ui.optActivity = new QRadioButton(QStringLiteral("MIDI"), w);
    ui.optActivity->setGeometry(434, 283, 66, 19);
    ui.optActivity->setAutoExclusive(false);
    ui.optActivity->setFocusPolicy(Qt::NoFocus);
    ui.optActivity->setAttribute(Qt::WA_TransparentForMouseEvents);

    ui.trkPosition = new DeckSlider(Qt::Horizontal, 0, 0, w);
    ui.trkPosition->setGeometry(8, 312, 490, 28);
    ui.trkPosition->jumpToClickedPoint();

    const char* faders[3] = {"Vol", "Pan", "Touch"};
    const int ranges[3][2] = {{0, 100}, {-100, 100}, {0, 5000}};
    const int pageSteps[3] = {25, 50, 1};
    const int starts[3] = {50, 0, 2500};
    for (int i = 0; i < 3; ++i) {
        // Beside the spectrum picture, one fader a row.
        const int y = 182 + i * 24;
        label(w, QString::fromLatin1(faders[i]), {104, y, 42, 18});
        ui.hscEQ[i] = new DeckSlider(Qt::Horizontal, ranges[i][0], ranges[i][1], w);
        ui.hscEQ[i]->setGeometry(148, y, 168, 18);
        ui.hscEQ[i]->setPageStep(pageSteps[i]);
        ui.hscEQ[i]->setValue(starts[i]);
        ui.lblinfo[8 + i] = infoLabel(w, QString::number(starts[i]), {320, y, 66, 18});
    }
}

void createPitch(QWidget* w, DeckUi& ui) {
    ui.lblBPM = label(w, QStringLiteral("0 %"), {506, 261, 69, 18}, Qt::AlignCenter);
    ui.cmdPitchDw = button(w, QStringLiteral("up"), {508, 283, 30, 22});
    ui.cmdPitchUp = button(w, QStringLiteral("dw"), {508, 308, 30, 22});
    ui.vscPitch = new DeckSlider(Qt::Vertical, Pitch::kTop, Pitch::kBottom, w);
    ui.vscPitch->setGeometry(544, 283, 26, 240);
    ui.vscPitch->setSingleStep(1);
    ui.vscPitch->setPageStep(5);
    ui.vscPitch->setValue(0);
}

void createBrowser(QWidget* w, DeckUi& ui) {
    ui.drvFile = new DriveList(w);
    ui.drvFile->setGeometry(8, 356, 220, 22);
    ui.dirFile = new FolderList(w);
    ui.dirFile->setGeometry(8, 382, 220, 144);
    ui.filFile = new FileList(w);
    ui.filFile->setGeometry(232, 356, 266, 170);
    ui.chkMono = new QCheckBox(QStringLiteral("Mono"), w);
    ui.chkMono->setGeometry(8, 530, 60, 22);
    ui.chkMono->setToolTip(
        QStringLiteral("Use device as mono (merge left and right channels in one)"));
    ui.chkMono->setFocusPolicy(Qt::NoFocus);
    ui.cmbDevices = new QComboBox(w);
    ui.cmbDevices->setGeometry(72, 530, 426, 22);
    ui.cmbDevices->setFocusPolicy(Qt::NoFocus);
    // Where the DJ reads which output the deck plays on; lit like a button that is on.
    ui.lblStatus = infoLabel(w, QString(), {72, 530, 426, 22});
    zen::setBackground(ui.lblStatus, zen::kDeckPalette[2]);
    QPalette palette = ui.lblStatus->palette();
    palette.setColor(QPalette::WindowText, QColor(255, 255, 0));
    ui.lblStatus->setPalette(palette);
    ui.lblStatus->hide();
}

} // namespace

DeckUi createDeckControls(QWidget* frmMain) {
    DeckUi ui;
    ui.frmMain = frmMain;
    createPanels(frmMain, ui);
    createSongInfo(frmMain, ui);
    createEqualizer(frmMain, ui);
    createTransport(frmMain, ui);
    createPitch(frmMain, ui);
    createBrowser(frmMain, ui);
    return ui;
}
