#include "common/FirstRunConfig.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace zen::config {

ConfigRecord firstRunConfig(const QString& musicFolder) {
    ConfigRecord r;
    r.bpmDetection = ConfigRecord::onOff(true);
    r.scrollFileName = ConfigRecord::onOff(false);
    r.djControl = ConfigRecord::onOff(false);
    r.trackingMode = ConfigRecord::onOff(true);
    r.externalMidi = QStringLiteral("<");
    r.soundDevice1 = QStringLiteral("0");
    r.soundDevice2 = QStringLiteral("0");
    r.midiPort1 = QStringLiteral("MIDI Yoke 1");
    r.midiPort2 = QStringLiteral("MIDI Yoke 2");
    r.mapping.fill(QStringLiteral("none"));
    // Set-1 scan codes 30..34 are a s d f g, 35..39 h j k l ;.
    for (int i = 0; i < ConfigRecord::kMappingCount - ConfigRecord::kFirstKeyEntry; ++i)
        r.mapping[ConfigRecord::kFirstKeyEntry + i] = QString::number(30 + i);
    r.musicFolder = musicFolder;
    r.joystick1 = QStringLiteral("4");
    r.joystick2 = QStringLiteral("3");
    return r;
}

QString userMusicFolder() {
    // Qt reads user-dirs.dirs and falls back to ~/Music, which a user may never have made.
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    return !music.isEmpty() && QFileInfo(music).isDir() ? music : QDir::homePath();
}

} // namespace zen::config
