#pragma once

#include "common/DeckRecord.h"
#include "console/ConsoleHost.h"

#include <QSocketNotifier>
#include <memory>

// A deck process started detached (it is not the console's child), or found running, watched
// through a pidfd: the handle stays bound to that one process, so a signal can never reach a
// later process that was given the same number, and it turns readable when the process ends.
class DetachedDeck : public DeckProcess {
    Q_OBJECT
public:
    // nullptr and the reason in `error` when the program cannot be started. A deck that resumes
    // is told the dead deck's process in its environment.
    static std::unique_ptr<DetachedDeck> start(const QString& program, const QString& folder,
                                               const QString& deckNumber, qint64 resumeFrom,
                                               QString& error);
    // Deck N running already: the process its record in the runtime folder names, or else a deck
    // program of this user with a socket on the cable of output device `device`.
    static std::unique_ptr<DetachedDeck> find(const QString& deckNumber, qint16 device);
    ~DetachedDeck() override;

    qint64 pid() const override { return process_.pid; }
    bool hasEnded() const override;
    bool diedUntold() const override;
    void terminate() override;
    void kill() override;

private:
    DetachedDeck(int pidfd, const zen::runtime::ProcessIdentity& process, QString record);
    // Holds the process from now on; nullptr when it is no longer the one named.
    static std::unique_ptr<DetachedDeck> hold(const zen::runtime::ProcessIdentity& process,
                                              const QString& record);
    void signal(int number);

    int pidfd_;
    zen::runtime::ProcessIdentity process_;
    QString record_;
    std::unique_ptr<QSocketNotifier> watch_;
    bool ended_ = false;
};
