#pragma once

#include "console/ConsoleHost.h"

#include <QSocketNotifier>
#include <memory>

// A deck process started detached (it is not the console's child), watched through a pidfd: the
// handle stays bound to that one process, so a signal can never reach a later process that was
// given the same number, and it turns readable when the process ends.
class DetachedDeck : public DeckProcess {
    Q_OBJECT
public:
    // nullptr and the reason in `error` when the program cannot be started.
    static std::unique_ptr<DetachedDeck> start(const QString& program, const QString& folder,
                                               const QString& deckNumber, QString& error);
    ~DetachedDeck() override;

    bool hasEnded() const override;
    void terminate() override;
    void kill() override;

private:
    explicit DetachedDeck(int pidfd);
    void signal(int number);

    int pidfd_;
    std::unique_ptr<QSocketNotifier> watch_;
    bool ended_ = false;
};
