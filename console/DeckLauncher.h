#pragma once

#include "console/ConsoleHost.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <array>
#include <deque>
#include <memory>

// The two deck processes the console starts. A quit command is lost when a deck has not opened
// its input yet (its first second or two, or while it shows a start-up message), so a deck still
// running kQuitGraceMs after its quit is ended: SIGTERM, then SIGKILL kTermGraceMs later (its
// record stays behind, naming a process that has gone). A new deck N starts only once the previous
// deck N has ended, and a deck N that runs already (left by an earlier console, or started by hand)
// is taken over instead of started, so two decks never share a cable.
//
// A deck that dies without being told is started again at once, alone, resuming what it did; one
// that dies kRestartLimit times within kRestartWindowMs is left down.
class DeckLauncher : public QObject {
    Q_OBJECT
public:
    static constexpr int kQuitGraceMs = 3000;
    static constexpr int kTermGraceMs = 2000;
    static constexpr int kRestartLimit = 3;
    static constexpr int kRestartWindowMs = 60000;

    explicit DeckLauncher(ConsoleHost& host);

    // Starts deck 1 or 2 from the program folder now, or as soon as the previous one has ended;
    // it listens on the cable of output device `device`.
    void launch(int deck, qint16 device);
    // Takes over deck 1 or 2 if it runs already; true when it did.
    bool takeOver(int deck, qint16 device);
    // The quit command went to both decks: launches still waiting are dropped, and decks that are
    // still running are watched until they end.
    void quitSent();
    // SIGTERM to every deck still running; launches still waiting are dropped.
    void terminateAll();
    // Decks started and not yet ended.
    int running() const;

signals:
    void restarted(int deck);
    void leftDown(int deck);

private:
    struct Slot {
        std::unique_ptr<DeckProcess> process;
        qint16 device = -1;
        bool launchWaiting = false;
        bool told = false;
        bool terminated = false;
        unsigned generation = 0;
        QTimer escalation;
        // When it died untold lately, in ms of clock_.
        std::deque<qint64> deaths;
    };

    bool isRunning(const Slot& slot) const;
    // Starts deck N, resuming from the dead process `resumeFrom` (0: afresh), unless it runs
    // already; false when it could not be started.
    bool startNow(int deck, qint64 resumeFrom = 0);
    void watch(int deck);
    void ended(int deck);
    void escalate(int deck);

    ConsoleHost& host_;
    std::array<Slot, 2> slots_;
    QElapsedTimer clock_;
};
