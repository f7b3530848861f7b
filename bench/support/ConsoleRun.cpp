#include "ConsoleRun.h"

#include "Desktop.h"
#include "Programs.h"

#include <QThread>
#include <csignal>
#include <sys/wait.h>

namespace zen::bench {

namespace {

// Below the decks, which open at the screen's top.
constexpr QPoint kConsolePlace{900, 590};

} // namespace

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
    record.soundDevice1 = record.soundDevice2 = QString::number(zen::e2e::jackOutputDevice());
    record.midiPort1 = "MIDI Yoke 1";
    record.midiPort2 = "MIDI Yoke 2";
    record.mapping.fill("none");
    record.musicFolder = music_.path();
    record.joystick1 = "4";
    record.joystick2 = "3";
    return record;
}

bool ConsoleRun::start(const zen::config::ConfigRecord& settings, QString& error,
                       const QProcessEnvironment& environment) {
    if (!zen::e2e::installPrograms(program_.path(), {"ZentariMix", "ZentariDeck"})) {
        error = "build ZentariMix and ZentariDeck first";
        return false;
    }
    if (!settings.save(program_.filePath("ZentariDJ.ini"))) {
        error = "cannot write the settings";
        return false;
    }
    return launch(program_.filePath("ZentariMix"), {}, environment, error);
}

bool ConsoleRun::restart(QString& error) {
    console_.kill();
    console_.waitForFinished(5000);
    return launch(command_, arguments_, environment_, error);
}

bool ConsoleRun::launch(const QString& command, const QStringList& arguments,
                        QProcessEnvironment environment, QString& error) {
    command_ = command;
    arguments_ = arguments;
    environment_ = environment;
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
    window_ = zen::desktop::waitForWindows("^ZentariMix$", 1, std::chrono::seconds(15)).value(0);
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
