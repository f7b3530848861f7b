#include "deck/DeckConfig.h"

#include "common/ConfigFormat.h"
#include "common/ConfigRecord.h"
#include "common/StyleTable.h"
#include "common/midi/FindMidiPort.h"
#include "deck/Browser.h"
#include "deck/DeckHost.h"
#include "deck/RemoteControl.h"

#include <QDir>
#include <QLabel>
#include <algorithm>

namespace config = zen::config;

void openMusicFolder(DeckUi& ui, const QString& folder) {
    const QString start = ui.filFile->setPath(folder) ? folder : QDir::homePath();
    if (start != folder) ui.filFile->setPath(start);
    ui.dirFile->setPath(start);
    // The drive list follows the folder; its own handler must not move the folder list to the
    // volume's root, so the browser ends on the configured folder.
    QSignalBlocker block(ui.drvFile);
    ui.drvFile->setDriveOf(ui.dirFile->path());
}

void ReadConfig(Deck& deck) {
    DeckState& s = deck.state;
    const QString folder = deck.host.programFolder();
    config::ConfigRecord record;
    if (!record.load(config::deckFilePath(config::settingsFolder(folder), s.deckText)))
        deck.host.showMessage(QStringLiteral("ERROR opening deck") + s.deckText +
                                  QStringLiteral(".ini"),
                              QString(), DeckHost::Icon::None);

    const bool bpmShown = config::ConfigRecord::isOn(record.bpmDetection);
    deck.ui.lblBPMs->setVisible(bpmShown);
    deck.ui.Label9->setVisible(bpmShown);
    s.djControlOn = config::ConfigRecord::isOn(record.djControl);
    s.trackingOn = config::ConfigRecord::isOn(record.trackingMode);

    const config::DeckSettings mine = record.deckSettings(s.deckText);
    // A 16-bit number on the stored form; anything larger names no device.
    s.soundDevice =
        static_cast<int>(std::clamp(config::leadingNumber(mine.soundDevice), -32768.0, 32767.0));
    s.midiPortName = mine.midiPort;
    s.midiInDevice = FindMidiIn(s.midiPortName);
    s.joystick = mine.joystick;
    openMusicFolder(deck.ui, record.musicFolder);

    s.genres = config::readStyles(config::stylesFilePath(folder));
}
