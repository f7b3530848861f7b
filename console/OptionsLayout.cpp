#include "common/FolderBrowser.h"
#include "common/ShapeWidget.h"
#include "common/ZenButton.h"
#include "console/Controls.h"
#include "console/MappingBox.h"
#include "console/OptionsUi.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <algorithm>
#include <vector>

namespace {

using controls::heading;
using controls::label;

ZenButton* button(QWidget* parent, const QString& caption, const QRect& place) {
    return controls::button(parent, caption, place, 6);
}

void panel(QWidget* parent, OptionsUi& ui, const QRect& place) {
    auto* shape = new ShapeWidget(parent);
    shape->setGeometry(place);
    ui.shpBack.push_back(shape);
}

QCheckBox* check(QWidget* parent, const QString& caption, const QRect& place) {
    auto* box = new QCheckBox(caption, parent);
    box->setGeometry(place);
    box->setAutoFillBackground(true);
    return box;
}

QComboBox* list(QWidget* parent, const QRect& place) {
    auto* combo = new QComboBox(parent);
    combo->setGeometry(place);
    return combo;
}

// The joystick number: the box and the scroll bar beside it. The bar's upper arrow raises the
// number, so the bar runs over -16..0 and shows its value negated; it starts at 0.
void joystick(QWidget* parent, const QString& caption, const QString& start, int x, int y,
              QLineEdit*& box, QScrollBar*& bar) {
    label(parent, caption, {x, y, 50, 22});
    box = new QLineEdit(start, parent);
    box->setGeometry(x + 52, y, 36, 22);
    bar = new QScrollBar(Qt::Vertical, parent);
    bar->setGeometry(x + 90, y, 16, 22);
    bar->setRange(-16, 0);
    bar->setValue(0);
}

// One font for a row of narrow headers, small enough that each leaves a gap to its neighbours
// ("Treble" and "Power" ran together), whatever font the desktop gives.
void fitTogether(const std::vector<QLabel*>& headers) {
    constexpr int kGap = 3;
    constexpr double kSmallest = 6;
    QFont font = headers.front()->font();
    const auto fits = [&] {
        const QFontMetrics metrics(font);
        return std::all_of(headers.begin(), headers.end(), [&](const QLabel* header) {
            return metrics.horizontalAdvance(header->text()) <= header->width() - kGap;
        });
    };
    while (!fits() && font.pointSizeF() > kSmallest)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    for (QLabel* header : headers)
        header->setFont(font);
}

void createGeneral(QWidget* w, OptionsUi& ui) {
    panel(w, ui, {8, 36, 308, 332});
    heading(w, QStringLiteral("General Options"), {16, 40, 200, 18});
    ui.chkBPM = check(w, QStringLiteral("Bpm detection"), {16, 62, 180, 20});
    ui.chkScroll = check(w, QStringLiteral("Scroll filename"), {16, 86, 180, 20});
    ui.chkControl = check(w, QStringLiteral("Zentari DJ Control"), {16, 110, 180, 20});
    ui.chkTracking = check(w, QStringLiteral("Tracking normal"), {16, 134, 180, 20});
    label(w, QStringLiteral("External MIDI Input"), {16, 160, 200, 18});
    ui.cmbExternal = list(w, {16, 180, 292, 22});
    joystick(w, QStringLiteral("Joy ID1"), QStringLiteral("4"), 16, 210, ui.txtJoyID1, ui.vscID1);
    joystick(w, QStringLiteral("Joy ID2"), QStringLiteral("3"), 164, 210, ui.txtJoyID2, ui.vscID2);
    label(w, QStringLiteral("Default music folder"), {16, 238, 200, 18});
    ui.drvFile = new DriveList(w);
    ui.drvFile->setGeometry(16, 258, 292, 22);
    ui.dirFile = new FolderList(w);
    ui.dirFile->setGeometry(16, 284, 292, 78);
}

void createDeck(QWidget* w, OptionsUi& ui, int deck, QComboBox*& devices, QComboBox*& internal) {
    const int y = 36 + (deck - 1) * 108;
    panel(w, ui, {324, y, 308, 102});
    heading(w, QStringLiteral("DECK%1").arg(deck), {332, y + 4, 100, 18});
    label(w, QStringLiteral("Device"), {332, y + 26, 150, 18});
    devices = list(w, {332, y + 44, 292, 22});
    label(w, QStringLiteral("Internal MIDI Output"), {332, y + 72, 140, 22});
    internal = list(w, {474, y + 72, 150, 22});
}

// One deck's controller boxes under "MIDI MAPPING" and key boxes under "KEYS".
void createMapping(QWidget* w, OptionsUi& ui, int deck) {
    const int x0 = 8 + (deck - 1) * 316;
    const int y0 = 374;
    panel(w, ui, {x0, y0, 308, 130});
    heading(w, QStringLiteral("DECK%1 MIDI MAPPING").arg(deck), {x0 + 8, y0 + 4, 290, 16});
    static const char* controllers[8] = {"Bass", "Mid",  "Treble", "Power",
                                         "Bal",  "Gain", "Rvrb",   "Time"};
    std::vector<QLabel*> headers;
    for (int i = 0; i < 8; ++i) {
        const int x = x0 + 8 + i * 37;
        const int index = (deck - 1) * 8 + i;
        headers.push_back(
            label(w, QString::fromLatin1(controllers[i]), {x, y0 + 22, 36, 14}, Qt::AlignCenter));
        ui.txtMapping[index] = new MappingBox(index, w);
        ui.txtMapping[index]->setGeometry(x, y0 + 38, 35, 22);
    }
    fitTogether(headers);
    heading(w, QStringLiteral("KEYS"), {x0 + 8, y0 + 66, 100, 16});
    static const char* keys[5] = {"Play", "Stop", "CUE", "<<", ">>"};
    for (int i = 0; i < 5; ++i) {
        const int x = x0 + 8 + i * 58;
        const int index = MappingBox::kFirstKeyBox + (deck - 1) * 5 + i;
        label(w, QString::fromLatin1(keys[i]), {x, y0 + 84, 56, 14}, Qt::AlignCenter);
        ui.txtMapping[index] = new MappingBox(index, w);
        ui.txtMapping[index]->setGeometry(x, y0 + 100, 56, 22);
    }
}

} // namespace

void createOptionsControls(QWidget* frmOptions, OptionsUi& ui) {
    heading(frmOptions, QStringLiteral("ZentariMix configuration panel"), {8, 8, 400, 22});
    createGeneral(frmOptions, ui);
    createDeck(frmOptions, ui, 1, ui.cmbDevices1, ui.cmbInternal1);
    createDeck(frmOptions, ui, 2, ui.cmbDevices2, ui.cmbInternal2);
    ui.chkMapping = check(frmOptions, QStringLiteral("Capture"), {332, 260, 120, 22});
    // It sits on the panel itself, not on a coloured group: the panel's colour shows through.
    ui.chkMapping->setAutoFillBackground(false);
    ui.chkMapping->setToolTip(
        QStringLiteral("Tick, click into a box and move a controller or press a key to map it"));
    createMapping(frmOptions, ui, 1);
    createMapping(frmOptions, ui, 2);
    ui.Command1 = button(frmOptions, QStringLiteral("Save and Close"), {392, 512, 132, 36});
    ui.Command2 = button(frmOptions, QStringLiteral("Cancel"), {532, 512, 100, 36});
}
