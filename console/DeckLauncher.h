#pragma once

#include "console/ConsoleHost.h"

#include <QObject>
#include <QTimer>
#include <array>
#include <memory>

// The two deck processes the console starts. A quit command is lost when a deck has not opened
// its input yet (its first second or two, or while it shows a start-up message), so a deck still
// running kQuitGraceMs after its quit is ended: SIGTERM, then SIGKILL kTermGraceMs later (a deck
// writes no files). A new deck N starts only once the previous deck N has ended, so two decks
// never share a cable.
class DeckLauncher : public QObject {
    Q_OBJECT
public:
    static constexpr int kQuitGraceMs = 3000;
    static constexpr int kTermGraceMs = 2000;

    explicit DeckLauncher(ConsoleHost& host);

    // Starts deck 1 or 2 from the program folder now, or as soon as the previous one has ended.
    void launch(int deck);
    // The quit command went to both decks: launches still waiting are dropped, and decks that are
    // still running are watched until they end.
    void quitSent();
    // SIGTERM to every deck still running; launches still waiting are dropped.
    void terminateAll();
    // Decks started and not yet ended.
    int running() const;

private:
    struct Slot {
        std::unique_ptr<DeckProcess> process;
        bool launchWaiting = false;
        bool terminated = false;
        unsigned generation = 0;
        QTimer escalation;
    };

    bool isRunning(const Slot& slot) const;
    void startNow(int deck);
    void ended(int deck);
    void escalate(int deck);

    ConsoleHost& host_;
    std::array<Slot, 2> slots_;
};
