#include "Programs.h"

#include "Desktop.h"
#include "common/sound/Outputs.h"

#include <QFile>

namespace zen::e2e {

bool run(const QString& program, const QStringList& args, const QProcessEnvironment& environment,
         int timeoutMs) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, args);
    return process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

bool servicesRunning() {
    QProcess jack;
    jack.setStandardOutputFile(QProcess::nullDevice());
    jack.start("jack_lsp", {});
    return !qEnvironmentVariableIsEmpty("DISPLAY") && jack.waitForFinished(5000) &&
           jack.exitCode() == 0;
}

int jackOutputDevice() {
    const std::vector<std::string> devices = zen::sound::descriptions(zen::sound::listOutputs());
    for (std::size_t i = 0; i < devices.size(); ++i)
        if (devices[i].rfind("system", 0) == 0) return static_cast<int>(i);
    return 0;
}

bool installPrograms(const QString& programDir, const QStringList& programs) {
    const QString source = QStringLiteral(ZENTARI_PROGRAM_DIR);
    for (const QString& file : programs + QStringList{"styles.ini"})
        if (!QFile::copy(source + "/" + file, programDir + "/" + file)) return false;
    return true;
}

zen::config::ConfigRecord deckRecord(int device, const QString& musicFolder) {
    zen::config::ConfigRecord record;
    record.bpmDetection = "ON";
    record.soundDevice1 = QString::number(device);
    record.soundDevice2 = "0";
    record.mapping.fill("none");
    record.musicFolder = musicFolder;
    return record;
}

QString startDeck(QProcess& deck, const QString& program, QProcessEnvironment environment) {
    environment.remove("QT_QPA_PLATFORM");
    deck.setProcessEnvironment(environment);
    deck.setProcessChannelMode(QProcess::ForwardedChannels);
    deck.start(program, {"1"});
    if (!deck.waitForStarted(5000)) return {};
    return zen::desktop::waitForWindows("Zentari DJ System", 1, std::chrono::seconds(10)).value(0);
}

} // namespace zen::e2e
