#pragma once

#include "common/ConfigRecord.h"

#include <QProcess>
#include <QString>
#include <QStringList>

// The built programs as the end-to-end tests and the benchmarks run them: copied into a program
// folder of the run's own, on the display and the JACK server of scripts/services.
namespace zen::e2e {

// Runs a program to its end; true when it exited normally with status 0.
bool run(const QString& program, const QStringList& args,
         const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
         int timeoutMs = 10000);
// Whether the display and the JACK server are there.
bool servicesRunning();
// The JACK device "system" when the sound library lists it, else the default output.
int jackOutputDevice();

// Copies the built programs and their styles into `programDir`; false when one is not built.
bool installPrograms(const QString& programDir, const QStringList& programs);
// A deck 1 configuration playing on `device` from `musicFolder`, with no mapping.
zen::config::ConfigRecord deckRecord(int device, const QString& musicFolder);
// Starts `program` as deck 1 on the display (not on the offscreen platform the widget tests use)
// and waits up to 10 s for its window; the window's id, empty when it did not show.
QString startDeck(QProcess& deck, const QString& program,
                  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment());

} // namespace zen::e2e
