#include "ConsoleRun.h"

#include "Desktop.h"
#include "deck/audio/AudioEngine.h"

#include <QFile>
#include <QThread>
#include <csignal>
#include <sys/wait.h>

namespace zen::bench {

namespace {

// Below the decks, which open at the screen's top.
constexpr QPoint kConsolePlace{900, 590};

int jackDevice() {
    const std::vector<std::string> devices = zen::audio::listOutputDevices();
    for (std::size_t i = 0; i < devices.size(); ++i)
        if (devices[i].rfind("system", 0) == 0) return static_cast<int>(i);
    return 0;
}

} // namespace

bool servicesRunning() {
    QProcess jack;
    jack.setStandardOutputFile(QProcess::nullDevice());
    jack.start("jack_lsp", {});
    return !qEnvironmentVariableIsEmpty("DISPLAY") && jack.waitForFinished(5000) &&
           jack.exitCode() == 0;
}

ConsoleRun::~ConsoleRun() {
    if (console_.state() != QProcess::NotRunning) {
        console_.kill();
        console_.waitForFinished(5000);
    }
    for (pid_t deck : zen::desktop::deckChildren()) {
        ::kill(deck, SIGKILL);
        waitpid(deck, nullptr, 0);
    }
}

zen::config::ConfigRecord ConsoleRun::settings() const {
    zen::config::ConfigRecord record;
    record.bpmDetection = record.scrollFileName = record.trackingMode = "ON";
    record.djControl = "OFF";
    record.externalMidi = "<";
    record.soundDevice1 = record.soundDevice2 = QString::number(jackDevice());
    record.midiPort1 = "MIDI Yoke 1";
    record.midiPort2 = "MIDI Yoke 2";
    record.mapping.fill("none");
    record.musicFolder = music_.path();
    record.joystick1 = "4";
    record.joystick2 = "3";
    return record;
}

bool ConsoleRun::start(const zen::config::ConfigRecord& settings, QString& error) {
    const QString source = QStringLiteral(ZENTARI_PROGRAM_DIR);
    for (const char* file : {"ZentariMix", "ZentariDeck", "styles.ini"})
        if (!QFile::copy(source + "/" + file, program_.filePath(file))) {
            error = "build ZentariMix and ZentariDeck first";
            return false;
        }
    if (!settings.save(program_.filePath("ZentariDJ.ini"))) {
        error = "cannot write the settings";
        return false;
    }
    return launch(program_.filePath("ZentariMix"), {}, QProcessEnvironment::systemEnvironment(),
                  error);
}

bool ConsoleRun::launch(const QString& command, const QStringList& arguments,
                        QProcessEnvironment environment, QString& error) {
    if (!zen::desktop::becomeSubreaper()) {
        error = "cannot become the decks' subreaper";
        return false;
    }
    environment.insert("XDG_RUNTIME_DIR", runtime_.path());
    environment.remove("QT_QPA_PLATFORM");
    console_.setProcessEnvironment(environment);
    console_.setProcessChannelMode(QProcess::ForwardedChannels);
    console_.start(command, arguments);
    // The splash holds the window back for four seconds.
    for (int i = 0; i < 150 && window_.isEmpty(); ++i) {
        QThread::msleep(100);
        window_ = zen::desktop::visibleWindows("^ZentariMix$").value(0);
    }
    if (window_.isEmpty()) {
        error = "the console window did not appear";
        return false;
    }
    if (!zen::desktop::moveWindow(window_, kConsolePlace)) {
        error = "cannot move the console window";
        return false;
    }
    return true;
}

bool ConsoleRun::pressEngine() {
    return zen::desktop::clickIn(window_, kEngineButton);
}

QString ConsoleRun::otherWindow(const QString& namePattern) const {
    for (int i = 0; i < 50; ++i) {
        for (const QString& window : zen::desktop::visibleWindows(namePattern))
            if (window != window_) return window;
        QThread::msleep(100);
    }
    return {};
}

QStringList ConsoleRun::monitorLines() {
    // From the first visible line's start to past the last one's end.
    if (!zen::desktop::dragIn(window_, {12, 104}, {288, 300})) return {};
    QStringList lines = zen::desktop::selectedText().split('\n');
    for (QString& line : lines)
        line = line.trimmed();
    return lines;
}

} // namespace zen::bench
