#pragma once

#include "common/sound/Outputs.h"
#include "console/MemoryStatus.h"

#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

// A deck process the console started or took over. It is not the console's child (decks run
// detached), so it is watched through a process handle: ended() is raised on the window thread
// once it has gone.
class DeckProcess : public QObject {
    Q_OBJECT
public:
    virtual qint64 pid() const = 0;
    virtual bool hasEnded() const = 0;
    // Once it has ended: true when it died without taking its own way out (its record is still
    // there), that is without being told, by a quit, its closed window or a message of its own.
    virtual bool diedUntold() const = 0;
    // SIGTERM and SIGKILL; nothing once the process has ended.
    virtual void terminate() = 0;
    virtual void kill() = 0;

signals:
    void ended();
};

// What the console needs from its surroundings: message boxes and their answers, the end of the
// program, its folders, the device lists, the screen, the memory status, starting decks, the
// blocking wait and file copies. The program uses SystemConsoleHost; tests record instead, so
// nothing blocks them and an exit never ends them.
class ConsoleHost {
public:
    enum class Icon { None, Critical };

    virtual ~ConsoleHost() = default;

    // Modal, with an OK button. An empty title stands for the program's own name.
    virtual void showMessage(const QString& text, const QString& title, Icon icon) = 0;
    // Modal, with Yes and No; true for Yes.
    virtual bool askYesNo(const QString& text, const QString& title) = 0;
    // Ends the process at once in the program. In tests it returns, and the caller goes no further.
    virtual void endProcess() = 0;
    // The folder of both programs.
    virtual QString programFolder() const = 0;
    // The folder of ZentariDJ.ini and the deck copies.
    virtual QString settingsFolder() const = 0;
    // Sound outputs numbered from 0 as the decks number them, or why there is none; MIDI devices
    // by number.
    virtual zen::sound::OutputList soundDevices() const = 0;
    virtual QStringList midiInputs() const = 0;
    virtual QStringList midiOutputs() const = 0;
    // In pixels.
    virtual QSize screenSize() const = 0;
    // The machine's physical memory; a total of 0 when it cannot be read.
    virtual zen::console::MemoryStatus memoryStatus() const = 0;
    // Starts `program` detached, in `folder`, with the deck number as its one argument; to resume
    // from the record of a deck that died, `resumeFrom` names that deck's process (0 for a fresh
    // start). nullptr and the reason in `error` when it cannot be started.
    virtual std::unique_ptr<DeckProcess> startDeck(const QString& program, const QString& folder,
                                                   const QString& deckNumber, qint64 resumeFrom,
                                                   QString& error) = 0;
    // Deck N when it runs already, started by an earlier console or by hand: the process its
    // record names, or else a deck program listening on the cable of output device `device`.
    // nullptr when there is none.
    virtual std::unique_ptr<DeckProcess> findDeck(const QString& deckNumber, qint16 device) = 0;
    // Holds the window thread: no timer, MIDI or input event is handled meanwhile.
    virtual void sleep(int ms) = 0;
    // Replaces `to` with a copy of `from`, whole or not at all (a link at `to` is replaced, not
    // followed); false, the old copy intact and the reason in `error`, on failure. Waits for the
    // disk, so it runs off the window thread: it must be safe to call from any thread.
    virtual bool copyFile(const QString& from, const QString& to, QString& error) = 0;
};

class SystemConsoleHost : public ConsoleHost {
public:
    void showMessage(const QString& text, const QString& title, Icon icon) override;
    bool askYesNo(const QString& text, const QString& title) override;
    void endProcess() override;
    QString programFolder() const override;
    QString settingsFolder() const override;
    zen::sound::OutputList soundDevices() const override;
    QStringList midiInputs() const override;
    QStringList midiOutputs() const override;
    QSize screenSize() const override;
    zen::console::MemoryStatus memoryStatus() const override;
    std::unique_ptr<DeckProcess> startDeck(const QString& program, const QString& folder,
                                           const QString& deckNumber, qint64 resumeFrom,
                                           QString& error) override;
    std::unique_ptr<DeckProcess> findDeck(const QString& deckNumber, qint16 device) override;
    void sleep(int ms) override;
    bool copyFile(const QString& from, const QString& to, QString& error) override;
};
