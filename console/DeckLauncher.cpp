#include "console/DeckLauncher.h"

namespace {

QString deckProgram(const QString& folder) {
    return folder + QStringLiteral("/ZentariDeck");
}

} // namespace

DeckLauncher::DeckLauncher(ConsoleHost& host) : host_(host) {
    for (int deck = 1; deck <= 2; ++deck) {
        QTimer& timer = slots_[deck - 1].escalation;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, this, [this, deck] { escalate(deck); });
    }
}

bool DeckLauncher::isRunning(const Slot& slot) const {
    return slot.process && !slot.process->hasEnded();
}

int DeckLauncher::running() const {
    int count = 0;
    for (const Slot& slot : slots_)
        count += isRunning(slot) ? 1 : 0;
    return count;
}

void DeckLauncher::launch(int deck) {
    Slot& slot = slots_[deck - 1];
    if (isRunning(slot))
        slot.launchWaiting = true;
    else
        startNow(deck);
}

void DeckLauncher::startNow(int deck) {
    Slot& slot = slots_[deck - 1];
    slot.launchWaiting = false;
    slot.terminated = false;
    slot.escalation.stop();
    const QString folder = host_.programFolder();
    const QString program = deckProgram(folder);
    QString error;
    slot.process = host_.startDeck(program, folder, QString::number(deck), error);
    if (!slot.process) {
        host_.showMessage(
            QStringLiteral("Deck %1 could not be started: %2: %3").arg(deck).arg(program, error),
            QStringLiteral("ZentariMix"), ConsoleHost::Icon::Critical);
        return;
    }
    // Queued: a launch that waited replaces the process, which must not happen inside its own
    // signal. The generation tells a late report of an earlier process from the current one.
    const unsigned generation = ++slot.generation;
    connect(
        slot.process.get(), &DeckProcess::ended, this,
        [this, deck, generation] {
            if (slots_[deck - 1].generation == generation) ended(deck);
        },
        Qt::QueuedConnection);
}

void DeckLauncher::ended(int deck) {
    Slot& slot = slots_[deck - 1];
    slot.escalation.stop();
    if (slot.launchWaiting) startNow(deck);
}

void DeckLauncher::quitSent() {
    for (Slot& slot : slots_) {
        slot.launchWaiting = false;
        if (isRunning(slot) && !slot.escalation.isActive()) {
            slot.terminated = false;
            slot.escalation.start(kQuitGraceMs);
        }
    }
}

void DeckLauncher::escalate(int deck) {
    Slot& slot = slots_[deck - 1];
    if (!isRunning(slot)) return;
    if (!slot.terminated) {
        slot.process->terminate();
        slot.terminated = true;
        slot.escalation.start(kTermGraceMs);
    } else {
        slot.process->kill();
    }
}

void DeckLauncher::terminateAll() {
    for (Slot& slot : slots_) {
        slot.launchWaiting = false;
        slot.escalation.stop();
        if (isRunning(slot)) slot.process->terminate();
    }
}
