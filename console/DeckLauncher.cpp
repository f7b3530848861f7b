#include "console/DeckLauncher.h"

#include "common/DeckRecord.h"

namespace {

QString deckProgram(const QString& folder) {
    return folder + QLatin1Char('/') + QLatin1String(zen::runtime::kDeckProgram);
}

} // namespace

DeckLauncher::DeckLauncher(ConsoleHost& host) : host_(host) {
    for (int deck = 1; deck <= 2; ++deck) {
        QTimer& timer = slots_[deck - 1].escalation;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, this, [this, deck] { escalate(deck); });
    }
    clock_.start();
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

void DeckLauncher::launch(int deck, qint16 device) {
    Slot& slot = slots_[deck - 1];
    slot.device = device;
    // The DJ starts afresh: earlier deaths no longer count towards leaving the deck down.
    slot.deaths.clear();
    if (isRunning(slot))
        slot.launchWaiting = true;
    else
        startNow(deck);
}

bool DeckLauncher::takeOver(int deck, qint16 device) {
    Slot& slot = slots_[deck - 1];
    slot.device = device;
    if (isRunning(slot)) return false;
    std::unique_ptr<DeckProcess> found = host_.findDeck(QString::number(deck), device);
    // A deck that listens on both decks' cables is the other deck's already.
    const Slot& other = slots_[2 - deck];
    if (!found || (isRunning(other) && other.process->pid() == found->pid())) return false;
    slot.launchWaiting = slot.told = slot.terminated = false;
    slot.escalation.stop();
    slot.process = std::move(found);
    watch(deck);
    return true;
}

bool DeckLauncher::startNow(int deck, qint64 resumeFrom) {
    if (takeOver(deck, slots_[deck - 1].device)) return false;
    Slot& slot = slots_[deck - 1];
    slot.launchWaiting = slot.told = slot.terminated = false;
    slot.escalation.stop();
    const QString folder = host_.programFolder();
    const QString program = deckProgram(folder);
    QString error;
    slot.process = host_.startDeck(program, folder, QString::number(deck), resumeFrom, error);
    if (!slot.process) {
        host_.showMessage(
            QStringLiteral("Deck %1 could not be started: %2: %3").arg(deck).arg(program, error),
            QStringLiteral("ZentariMix"), ConsoleHost::Icon::Critical);
        return false;
    }
    watch(deck);
    return true;
}

void DeckLauncher::watch(int deck) {
    Slot& slot = slots_[deck - 1];
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
    if (slot.launchWaiting) {
        startNow(deck);
        return;
    }
    if (slot.told || !slot.process->diedUntold()) return;
    const qint64 now = clock_.elapsed();
    slot.deaths.push_back(now);
    while (now - slot.deaths.front() > kRestartWindowMs)
        slot.deaths.pop_front();
    if (slot.deaths.size() >= static_cast<std::size_t>(kRestartLimit)) {
        emit leftDown(deck);
        return;
    }
    if (startNow(deck, slot.process->pid())) emit restarted(deck);
}

void DeckLauncher::quitSent() {
    for (Slot& slot : slots_) {
        slot.launchWaiting = false;
        slot.told = true;
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
        slot.told = true;
        slot.escalation.stop();
        if (isRunning(slot)) slot.process->terminate();
    }
}
