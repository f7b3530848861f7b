#include "console/ConsoleConfig.h"

#include "common/ConfigRecord.h"
#include "common/FirstRunConfig.h"
#include "common/midi/FindMidiPort.h"
#include "console/ConsolePorts.h"
#include "console/OptionsPanel.h"

#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

namespace config = zen::config;

QString ConsoleConfig::configPath() const {
    return config::configFilePath(host_.settingsFolder());
}

void ConsoleConfig::LoadConfig() {
    const QString path = configPath();
    // A new user's first start writes a file that works rather than reporting it missing. Only
    // when nothing at all is there: a file that cannot be read, or a link to a drive not
    // mounted, is the user's and is reported instead.
    const QFileInfo existing(path);
    if (!existing.exists() && !existing.isSymLink())
        config::firstRunConfig(config::userMusicFolder()).save(path);
    config::ConfigRecord record;
    if (!record.load(path))
        host_.showMessage(QStringLiteral("ERROR opening ZentariDJ.ini"), QString(),
                          ConsoleHost::Icon::None);
    panel_.load(record);
    ports_.setDeckDevices(FindListedMidiOut(record.midiPort1), FindListedMidiOut(record.midiPort2));
}

void ConsoleConfig::saveAndClose() {
    if (!panel_.settings().save(configPath())) {
        host_.showMessage(QStringLiteral("Error writing ZentariDJ.ini"), QString(),
                          ConsoleHost::Icon::None);
        return;
    }
    panel_.hide();
    host_.showMessage(QStringLiteral("Configuration saved succesful. You must re-start the engine "
                                     "to use new settings (START/STOP button)."),
                      QString(), ConsoleHost::Icon::None);
}

ConsoleConfig::~ConsoleConfig() {
    copies_.waitForFinished();
}

void ConsoleConfig::copyToDecks(Copied copied) {
    copies_.disconnect();
    QObject::connect(
        &copies_, &QFutureWatcher<CopyFailure>::finished, &copies_,
        [this, copied = std::move(copied)] {
            copying_ = false;
            const CopyFailure failure = copies_.result();
            if (failure.deck == 0) {
                copied(deckDevices());
                return;
            }
            host_.showMessage(
                QStringLiteral("Error writing deck%1.ini: %2").arg(failure.deck).arg(failure.error),
                QString(), ConsoleHost::Icon::Critical);
            copied(std::nullopt);
        });
    copying_ = true;
    copies_.setFuture(QtConcurrent::run([&host = host_, from = configPath(),
                                         folder = host_.settingsFolder()] {
        for (int deck = 1; deck <= 2; ++deck) {
            QString error;
            if (!host.copyFile(from, config::deckFilePath(folder, QString::number(deck)), error))
                return CopyFailure{deck, error};
        }
        return CopyFailure{};
    }));
}

std::array<qint16, 2> ConsoleConfig::deckDevices() const {
    return {deckDevice(1), deckDevice(2)};
}

qint16 ConsoleConfig::deckDevice(int deck) const {
    const QString number = QString::number(deck);
    config::ConfigRecord record;
    record.load(config::deckFilePath(host_.settingsFolder(), number));
    return FindListedMidiOut(record.deckSettings(number).midiPort);
}
