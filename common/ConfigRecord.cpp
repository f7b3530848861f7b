#include "common/ConfigRecord.h"

#include "common/ConfigFormat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

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

QString settingsFolder(const QString& programFolder) {
    if (QFileInfo(programFolder).isWritable()) return programFolder;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                           QStringLiteral("/zentari-dj");
    if (QDir().mkpath(folder))
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return folder;
}

QString configFilePath(const QString& folder) {
    return folder + QStringLiteral("/ZentariDJ.ini");
}

QString deckFilePath(const QString& folder, const QString& deckArgument) {
    return folder + QStringLiteral("/deck") + deckArgument + QStringLiteral(".ini");
}

} // namespace zen::config
