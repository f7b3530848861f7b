#pragma once

#include <QMap>
#include <QString>

// What a running deck keeps in the runtime folder (the private folder of the MIDI cables): a
// record, "deck" + argument + ".state", that names its process and holds what it is doing. The
// deck writes it while it runs and removes it on its way out, so a record whose process has gone
// is the mark of a deck that ended without being told; the console relaunches such a deck, which
// resumes from it, and a console that starts finds the decks of an earlier one by their records.
namespace zen::runtime {

// A process as the system knows it: its number and its start time (clock ticks since boot), which
// together name one process for good, where a number alone may later be given to another.
struct ProcessIdentity {
    qint64 pid = 0;
    quint64 startTime = 0;

    bool operator==(const ProcessIdentity&) const = default;
};

// This process.
ProcessIdentity currentProcess();
// The process that runs under this number now; pid 0 when none does.
ProcessIdentity processOf(qint64 pid);
// The deck program's file name, as the console starts it and as the system names its process.
inline constexpr char kDeckProgram[] = "ZentariDeck";
// True while the process runs, as the deck program of this user.
bool isRunningDeck(const ProcessIdentity& process);

// The environment variable by which the console tells a deck it relaunches the process of the
// one that died, whose record it resumes from: the command line stays the deck number alone.
inline constexpr char kResumeVariable[] = "ZENTARI_DECK_RESUME";

// The folder of the records: the cables' folder; empty when it cannot be used.
QString runtimeFolder();
QString deckRecordPath(const QString& folder, const QString& deckArgument);

struct DeckRecord {
    ProcessIdentity process;
    // What the deck is doing, by name.
    QMap<QString, QString> state;
};

// False when there is no record (or no readable one) at the path.
bool readDeckRecord(const QString& path, DeckRecord& record);
// The record's bytes, as the file holds them.
QByteArray encodeDeckRecord(const DeckRecord& record);

} // namespace zen::runtime
