#pragma once

#include <QString>
#include <QStringList>
#include <array>

namespace zen::config {

// The settings a deck takes from the record for itself.
struct DeckSettings {
    QString soundDevice; // output device number, as text
    QString midiPort;    // name of the MIDI input port
    QString joystick;    // joystick number, as text
};

// The 38 text fields of ZentariDJ.ini and its deck copies, in file order.
struct ConfigRecord {
    static constexpr int kFieldCount = 38;
    static constexpr int kMappingCount = 26;
    // Mapping entries 0..15 are controller numbers, 16..25 key codes.
    static constexpr int kFirstKeyEntry = 16;

    QString bpmDetection;   // "ON" or "OFF"
    QString scrollFileName; // "ON" or "OFF"
    QString djControl;      // "ON" or "OFF"
    QString trackingMode;   // "ON" or "OFF"
    QString externalMidi;   // first character of the external input's list item
    QString soundDevice1;
    QString soundDevice2;
    QString midiPort1; // last 16 characters of the port name
    QString midiPort2;
    std::array<QString, kMappingCount> mapping; // "none" or a decimal number
    QString musicFolder;
    QString joystick1;
    QString joystick2;

    QStringList toFields() const;
    // Missing fields read as "", extra ones are ignored.
    static ConfigRecord fromFields(const QStringList& fields);

    // False when the file cannot be opened; the record then holds empty texts everywhere.
    bool load(const QString& path);
    // Atomic; false (old file intact) on any failure or when a field cannot be stored faithfully.
    bool save(const QString& path) const;

    // The keyword "ON", compared exactly.
    static bool isOn(const QString& field) { return field == QLatin1String("ON"); }
    static QString onOff(bool on) { return on ? QStringLiteral("ON") : QStringLiteral("OFF"); }

    // Deck argument exactly "1" takes the deck-1 fields, any other argument the deck-2 fields.
    DeckSettings deckSettings(const QString& deckArgument) const;

    bool operator==(const ConfigRecord&) const = default;
};

// What the choice of the settings folder depends on. The program reads them from the machine;
// tests fake them, since a read-only folder is still writable for root.
struct SettingsPlace {
    bool programFolderWritable = false;
    QString configHome; // $XDG_CONFIG_HOME as set; empty when unset
    QString home;
};

// The machine's own: the program folder judged as the current user may write it.
SettingsPlace settingsPlace(const QString& programFolder);

// The folder of ZentariDJ.ini and the deck copies: the program folder when it is writable (a
// build tree, a copy in the home folder), else zentari-dj in the user's configuration folder
// ($XDG_CONFIG_HOME, ~/.config when that is unset or not absolute), created private (0700) when
// missing, as for an installed package. Both programs name it through this, so the decks read
// what the console copied. styles.ini stays in the program folder.
QString settingsFolder(const QString& programFolder, const SettingsPlace& place);
QString settingsFolder(const QString& programFolder);

// File names in the settings folder.
QString configFilePath(const QString& folder);
// The deck argument is used unchanged: "deck" + argument + ".ini".
QString deckFilePath(const QString& folder, const QString& deckArgument);

} // namespace zen::config
