#include "console/KeyShortcuts.h"

#include "common/ConfigFormat.h"
#include "common/DeckCommands.h"
#include "console/ConsolePorts.h"
#include "console/EngineControl.h"
#include "console/KeyPress.h"
#include "console/MappingBox.h"
#include "console/MonitorText.h"
#include "console/OptionsPanel.h"

#include <array>

namespace {

constexpr int kEntries = 10;
constexpr int kEntriesPerDeck = 5;

// What the monitor shows for each key entry, deck 1's five, then deck 2's.
const std::array<QString, kEntries> kCommandNames{
    QStringLiteral("D1 PLAY/PAUSE"), QStringLiteral("D1 STOP"), QStringLiteral("D1 CUE"),
    QStringLiteral("D1 <<"),         QStringLiteral("D1 >>"),   QStringLiteral("D2 PLAY/PAUSE"),
    QStringLiteral("D2 STOP"),       QStringLiteral("D2 CUE"),  QStringLiteral("D2 <<"),
    QStringLiteral("D2 >>")};

} // namespace

KeyShortcuts::KeyShortcuts(zen::console::KeyPress& keyPress, OptionsPanel& panel,
                           EngineControl& engine, ConsolePorts& ports, MonitorText& monitor)
    : keyPress_(keyPress), panel_(panel), engine_(engine), ports_(ports), monitor_(monitor) {
    // Every 5 ms, not whenever convenient: a key waits at most one tick to reach its deck.
    tmrKeys_.setTimerType(Qt::PreciseTimer);
    tmrKeys_.setInterval(kPollMs);
    connect(&tmrKeys_, &QTimer::timeout, this, &KeyShortcuts::tick);
}

void KeyShortcuts::start() {
    tmrKeys_.start();
}

void KeyShortcuts::tick() {
    keyPress_.poll();
    const int key = keyPress_.keyCode();
    if (key == lastKey_) return;
    if (key == 0) {
        released();
        return;
    }
    lastKey_ = key;
    if (panel_.isVisible())
        capture(key);
    else if (engine_.running())
        route(key);
    if (key == kBackspace) erase();
}

void KeyShortcuts::capture(int key) {
    const int marked = panel_.markedEntry();
    if (marked >= MappingBox::kFirstKeyBox)
        panel_.txtMapping(marked)->setText(QString::number(key));
}

void KeyShortcuts::route(int key) {
    // Every entry the key matches is served, in entry order. An entry's number is read as the
    // configuration file's numbers are; "none" and an empty box read as 0, which no key is.
    for (int entry = 0; entry < kEntries; ++entry) {
        const int box = MappingBox::kFirstKeyBox + entry;
        if (zen::config::leadingNumber(panel_.txtMapping(box)->text()) != key) continue;
        monitor_.append(kCommandNames[entry]);
        const int deck = entry < kEntriesPerDeck ? 1 : 2;
        ports_.sendCommand(deck, zen::cmd::kPlayPause + entry % kEntriesPerDeck);
    }
}

void KeyShortcuts::erase() {
    // The marker outlives the hidden panel (a deck window may hold the focus meanwhile); a
    // Backspace typed into a deck then must not wipe a mapping nobody is editing.
    if (!panel_.isVisible()) return;
    const int marked = panel_.markedEntry();
    if (marked >= 0) panel_.txtMapping(marked)->clear();
}

void KeyShortcuts::released() {
    ports_.sendCommand(1, zen::cmd::kTouchRelease);
    ports_.sendCommand(2, zen::cmd::kTouchRelease);
    monitor_.append(QStringLiteral("Key UP"));
    lastKey_ = 0;
}
