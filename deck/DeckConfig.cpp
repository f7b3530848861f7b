#include "deck/DeckConfig.h"

#include "common/ConfigFormat.h"
#include "common/ConfigRecord.h"
#include "common/StyleTable.h"
#include "common/midi/FindMidiPort.h"
#include "deck/DeckHost.h"

#include <algorithm>

namespace config = zen::config;

DeckConfig ReadConfig(DeckHost& host, const QString& deckText) {
    const QString folder = host.programFolder();
    config::ConfigRecord record;
    if (!record.load(config::deckFilePath(config::settingsFolder(folder), deckText)))
        host.showMessage(QStringLiteral("ERROR opening deck") + deckText + QStringLiteral(".ini"),
                         QString(), DeckHost::Icon::None);

    DeckConfig s;
    s.bpmShown = config::ConfigRecord::isOn(record.bpmDetection);
    s.trackingOn = config::ConfigRecord::isOn(record.trackingMode);
    const config::DeckSettings mine = record.deckSettings(deckText);
    // A 16-bit number on the stored form; anything larger names no device.
    s.soundDevice =
        static_cast<int>(std::clamp(config::leadingNumber(mine.soundDevice), -32768.0, 32767.0));
    s.midiPortName = mine.midiPort;
    s.midiInDevice = FindMidiIn(s.midiPortName);
    s.joystick = mine.joystick;
    s.musicFolder = record.musicFolder;
    s.genres = config::readStyles(config::stylesFilePath(folder));
    return s;
}
