#pragma once

#include "common/ConfigRecord.h"

#include <QPoint>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The real ZentariMix as the benchmarks run it: in a program folder of its own beside the deck
// program, with MIDI cables of its own, on the display and the JACK server of scripts/services.
// The caller becomes the decks' subreaper, so it sees them although they run detached; whatever
// is still running when the run ends is killed.
namespace zen::bench {

class ConsoleRun {
public:
    // The engine button's and the Config button's middle, from the console window's corner.
    static constexpr QPoint kEngineButton{78, 50};
    static constexpr QPoint kConfigButton{222, 50};

    ConsoleRun() = default;
    ConsoleRun(const ConsoleRun&) = delete;
    ConsoleRun& operator=(const ConsoleRun&) = delete;
    ~ConsoleRun();

    // Settings for both decks on the JACK server's device and the cables "MIDI Yoke 1" and
    // "MIDI Yoke 2", no external input, no mapping, the music folder of the run.
    zen::config::ConfigRecord settings() const;
    // Starts the console with these settings and moves its window below the decks' (a deck
    // window mapping over the button would take a click); false and the reason in `error`. The
    // environment names the sound server the console and its decks use.
    bool start(const zen::config::ConfigRecord& settings, QString& error,
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
    // The same for a console installed elsewhere, started by `command` (a launcher, or a command
    // that starts it as another user) in `environment` with the run's cables added.
    bool launch(const QString& command, const QStringList& arguments,
                QProcessEnvironment environment, QString& error);

    // Kills the console (SIGKILL, its decks left running) and starts it again as it was started.
    bool restart(QString& error);

    // The engine button, clicked as the DJ clicks it.
    bool pressEngine();
    // A window of the console other than its main one (the options panel, a message) once it
    // shows, within 5 s; empty when none does.
    QString otherWindow(const QString& namePattern) const;
    // The lines the monitor shows, selected with the mouse, without the blanks around them.
    QStringList monitorLines();

    qint64 pid() const { return console_.processId(); }
    QString window() const { return window_; }
    // The folder that holds the run's cables.
    QString runtimeFolder() const { return runtime_.path(); }
    QString musicFolder() const { return music_.path(); }
    // The folder of both programs and their settings.
    QString programFolder() const { return program_.path(); }

private:
    QTemporaryDir program_, runtime_, music_;
    QProcess console_;
    QString window_;
    QString command_;
    QStringList arguments_;
    QProcessEnvironment environment_;
};

} // namespace zen::bench
