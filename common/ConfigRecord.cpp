#include "common/ConfigRecord.h"

#include "common/ConfigFormat.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

namespace zen::config {

QStringList ConfigRecord::toFields() const {
    QStringList fields{bpmDetection, scrollFileName, djControl, trackingMode, externalMidi,
                       soundDevice1, soundDevice2,   midiPort1, midiPort2};
    for (const QString& entry : mapping)
        fields.append(entry);
    fields << musicFolder << joystick1 << joystick2;
    return fields;
}

ConfigRecord ConfigRecord::fromFields(const QStringList& fields) {
    int i = 0;
    const auto next = [&]() { return i < fields.size() ? fields[i++] : QString(); };
    ConfigRecord r;
    r.bpmDetection = next();
    r.scrollFileName = next();
    r.djControl = next();
    r.trackingMode = next();
    r.externalMidi = next();
    r.soundDevice1 = next();
    r.soundDevice2 = next();
    r.midiPort1 = next();
    r.midiPort2 = next();
    for (QString& entry : r.mapping)
        entry = next();
    r.musicFolder = next();
    r.joystick1 = next();
    r.joystick2 = next();
    return r;
}

bool ConfigRecord::load(const QString& path) {
    QStringList fields;
    const bool ok = readFields(path, kFieldCount, fields);
    *this = fromFields(fields);
    return ok;
}

bool ConfigRecord::save(const QString& path) const {
    return writeFields(path, toFields());
}

DeckSettings ConfigRecord::deckSettings(const QString& deckArgument) const {
    if (deckArgument == QLatin1String("1")) return {soundDevice1, midiPort1, joystick1};
    return {soundDevice2, midiPort2, joystick2};
}

SettingsPlace settingsPlace(const QString& programFolder) {
    // Creating files in a folder takes write and search permission.
    const QByteArray path = QFile::encodeName(programFolder);
    return {!path.isEmpty() && ::access(path.constData(), W_OK | X_OK) == 0,
            qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath()};
}

QString settingsFolder(const QString& programFolder, const SettingsPlace& place) {
    if (place.programFolderWritable) return programFolder;
    // A relative $XDG_CONFIG_HOME is invalid and ignored, as for every program that follows it.
    const QString configHome = QDir::isAbsolutePath(place.configHome)
                                   ? place.configHome
                                   : place.home + QStringLiteral("/.config");
    const QString name = QStringLiteral("zentari-dj");
    // Made private from the start rather than narrowed after; a folder the user already has
    // keeps the permissions the user gave it.
    QDir parent(configHome);
    if (!parent.exists(name) && QDir().mkpath(configHome))
        parent.mkdir(name, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return configHome + QLatin1Char('/') + name;
}

QString settingsFolder(const QString& programFolder) {
    return settingsFolder(programFolder, settingsPlace(programFolder));
}

QString configFilePath(const QString& folder) {
    return folder + QStringLiteral("/ZentariDJ.ini");
}

QString deckFilePath(const QString& folder, const QString& deckArgument) {
    return folder + QStringLiteral("/deck") + deckArgument + QStringLiteral(".ini");
}

} // namespace zen::config
