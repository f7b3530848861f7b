#include "console/OptionsPanel.h"

#include "common/ConfigFormat.h"
#include "common/FolderBrowser.h"
#include "common/Palette.h"
#include "common/ShapeWidget.h"
#include "common/WidgetColors.h"
#include "common/ZenButton.h"
#include "console/MappingBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QScrollBar>
#include <cmath>

namespace config = zen::config;

namespace {

const QString kNoneItem = QStringLiteral("<none>");
const QString kNoneField = QStringLiteral("<");

void setCheck(QCheckBox* box, const QString& field) {
    box->setChecked(config::ConfigRecord::isOn(field));
}

QString checkField(const QCheckBox* box) {
    return config::ConfigRecord::onOff(box->checkState() == Qt::Checked);
}

// The whole device number that begins an item ("12:name", "3 - description").
QString itemNumber(const QComboBox* list, const QString& separator) {
    return list->currentIndex() < 0 ? QString() : list->currentText().section(separator, 0, 0);
}

// A whole, non-negative number written as a field; -1 for anything else.
int wholeNumber(const QString& field) {
    const double value = config::leadingNumber(field);
    return value >= 0 && value <= 32767 && std::floor(value) == value ? static_cast<int>(value)
                                                                      : -1;
}

} // namespace

OptionsPanel::OptionsPanel(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("ZentariMix OPTIONS"));
    setFixedSize(kOptionsWidth, kOptionsHeight);
    createOptionsControls(this, ui_);
    wire();
}

void OptionsPanel::wire() {
    connect(ui_.chkMapping, &QCheckBox::clicked, this, &OptionsPanel::captureClicked);
    connect(ui_.chkTracking, &QCheckBox::clicked, this, [this](bool checked) {
        ui_.chkTracking->setText(checked ? QStringLiteral("Tracking normal")
                                         : QStringLiteral("Tracking progressive"));
    });
    const auto joystick = [this](QScrollBar* bar, QLineEdit* box) {
        connect(bar, &QScrollBar::valueChanged, this,
                [box](int value) { box->setText(QString::number(-value)); });
    };
    joystick(ui_.vscID1, ui_.txtJoyID1);
    joystick(ui_.vscID2, ui_.txtJoyID2);
    connect(ui_.drvFile, &DriveList::driveChanged, this, &OptionsPanel::driveChanged);
    connect(ui_.dirFile, &FolderList::pathChanged, this, [this] { folderChosen_ = true; });
    for (QComboBox* list :
         {ui_.cmbExternal, ui_.cmbDevices1, ui_.cmbDevices2, ui_.cmbInternal1, ui_.cmbInternal2})
        connect(list, &QComboBox::activated, this, [this, list] { kept_.erase(list); });
    connect(ui_.Command1, &ZenButton::Click, this, &OptionsPanel::saveRequested);
    connect(ui_.Command2, &ZenButton::Click, this, &QWidget::hide);
}

void OptionsPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    emit visibilityChanged(isVisible());
}

void OptionsPanel::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    emit visibilityChanged(isVisible());
}

void OptionsPanel::fillDeviceLists(const QStringList& soundItems, const QStringList& externalItems,
                                   const QStringList& internalItems) {
    ui_.cmbDevices1->addItems(soundItems);
    ui_.cmbDevices2->addItems(soundItems);
    ui_.cmbExternal->addItems(externalItems);
    ui_.cmbInternal1->addItems(internalItems);
    ui_.cmbInternal2->addItems(internalItems);
    // No port is chosen until the configuration names one.
    ui_.cmbInternal1->setCurrentIndex(-1);
    ui_.cmbInternal2->setCurrentIndex(-1);
}

void OptionsPanel::driveChanged(const QString& root) {
    // A volume that cannot be read leaves the folder where it was, and the drive list with it.
    if (ui_.dirFile->setPath(root)) return;
    QSignalBlocker block(ui_.drvFile);
    ui_.drvFile->setDriveOf(ui_.dirFile->path());
}

void OptionsPanel::openMusicFolder(const QString& folder) {
    storedFolder_ = folder;
    QSignalBlocker blockFolders(ui_.dirFile);
    if (!ui_.dirFile->setPath(folder)) ui_.dirFile->setPath(QDir::homePath());
    // The drive list follows the folder; its own handler must not move the folder list.
    QSignalBlocker blockDrives(ui_.drvFile);
    ui_.drvFile->setDriveOf(ui_.dirFile->path());
    folderChosen_ = false;
}

void OptionsPanel::keep(QComboBox* list, const QString& field) {
    kept_[list] = field;
}

QString OptionsPanel::keptOr(const QComboBox* list, const QString& field) const {
    const auto kept = kept_.find(list);
    return kept == kept_.end() ? field : kept->second;
}

void OptionsPanel::load(const config::ConfigRecord& record) {
    kept_.clear();
    setCheck(ui_.chkBPM, record.bpmDetection);
    setCheck(ui_.chkScroll, record.scrollFileName);
    setCheck(ui_.chkControl, record.djControl);
    setCheck(ui_.chkTracking, record.trackingMode);

    const QString external = record.externalMidi;
    // Anything but a device number opens no input, as a missing file does: read as 0, it would
    // open cable 1, and the console would hear its own commands to deck 1.
    const QString number = external.trimmed();
    if (number.isEmpty() || number[0] < u'0' || number[0] > u'9') {
        ui_.cmbExternal->setCurrentIndex(ui_.cmbExternal->findText(kNoneItem));
    } else {
        const int device = wholeNumber(external);
        int found = -1;
        for (int i = 0; i < ui_.cmbExternal->count() && device >= 0 && found < 0; ++i)
            if (ui_.cmbExternal->itemText(i).section(':', 0, 0) == QString::number(device))
                found = i;
        if (found >= 0)
            ui_.cmbExternal->setCurrentIndex(found);
        else
            keep(ui_.cmbExternal, external);
    }

    const auto device = [this](QComboBox* list, const QString& field) {
        const int number = wholeNumber(field);
        if (number >= 0 && number < list->count())
            list->setCurrentIndex(number);
        else
            keep(list, field);
    };
    device(ui_.cmbDevices1, record.soundDevice1);
    device(ui_.cmbDevices2, record.soundDevice2);

    const auto port = [this](QComboBox* list, const QString& name) {
        const int found = list->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (found >= 0)
            list->setCurrentIndex(found);
        else if (!name.isEmpty())
            keep(list, name);
    };
    port(ui_.cmbInternal1, record.midiPort1);
    port(ui_.cmbInternal2, record.midiPort2);

    for (int i = 0; i < config::ConfigRecord::kMappingCount; ++i)
        ui_.txtMapping[i]->setText(record.mapping[i]);
    openMusicFolder(record.musicFolder);
    ui_.txtJoyID1->setText(record.joystick1);
    ui_.txtJoyID2->setText(record.joystick2);
}

config::ConfigRecord OptionsPanel::settings() const {
    config::ConfigRecord r;
    r.bpmDetection = checkField(ui_.chkBPM);
    r.scrollFileName = checkField(ui_.chkScroll);
    r.djControl = checkField(ui_.chkControl);
    r.trackingMode = checkField(ui_.chkTracking);
    const QString external = ui_.cmbExternal->currentText() == kNoneItem
                                 ? kNoneField
                                 : itemNumber(ui_.cmbExternal, QStringLiteral(":"));
    r.externalMidi = keptOr(ui_.cmbExternal, external);
    r.soundDevice1 = keptOr(ui_.cmbDevices1, itemNumber(ui_.cmbDevices1, QStringLiteral(" - ")));
    r.soundDevice2 = keptOr(ui_.cmbDevices2, itemNumber(ui_.cmbDevices2, QStringLiteral(" - ")));
    r.midiPort1 = keptOr(ui_.cmbInternal1, ui_.cmbInternal1->currentText());
    r.midiPort2 = keptOr(ui_.cmbInternal2, ui_.cmbInternal2->currentText());
    for (int i = 0; i < config::ConfigRecord::kMappingCount; ++i)
        r.mapping[i] = ui_.txtMapping[i]->committedText();
    r.musicFolder = folderChosen_ || storedFolder_.isEmpty() ? ui_.dirFile->path() : storedFolder_;
    r.joystick1 = QStringLiteral("4");
    r.joystick2 = QStringLiteral("3");
    return r;
}

qint16 OptionsPanel::externalDevice() const {
    bool ok = false;
    const int device = itemNumber(ui_.cmbExternal, QStringLiteral(":")).toInt(&ok);
    return ok ? static_cast<qint16>(device) : qint16(-1);
}

bool OptionsPanel::captureTicked() const {
    return ui_.chkMapping->isChecked();
}

int OptionsPanel::markedEntry() const {
    for (const MappingBox* box : ui_.txtMapping)
        if (box->focusMarked()) return box->index();
    return -1;
}

void OptionsPanel::DoColors() {
    zen::setBackground(this, zen::kConsoleBackground);
    for (ShapeWidget* shape : ui_.shpBack) {
        shape->setBorderColor(zen::kConsolePanelBorder);
        shape->setFillColor(zen::kConsolePanelFill);
    }
    for (QCheckBox* box : {ui_.chkBPM, ui_.chkScroll, ui_.chkTracking, ui_.chkControl})
        zen::setBackground(box, zen::kConsolePanelFill);
}
