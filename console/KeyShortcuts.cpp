#include "console/KeyShortcuts.h"

#include "common/ConfigFormat.h"
#include "common/DeckCommands.h"
#include "console/ConsolePorts.h"
#include "console/KeyPress.h"
#include "console/MappingBox.h"
#include "console/MonitorText.h"
#include "console/OptionsPanel.h"

#include <map>

namespace {

constexpr int kEntriesPerDeck = 5;

// What the monitor shows for each key entry, deck 1's five, then deck 2's.
const std::array<QString, 10> kCommandNames{
    QStringLiteral("D1 PLAY/PAUSE"), QStringLiteral("D1 STOP"), QStringLiteral("D1 CUE"),
    QStringLiteral("D1 <<"),         QStringLiteral("D1 >>"),   QStringLiteral("D2 PLAY/PAUSE"),
    QStringLiteral("D2 STOP"),       QStringLiteral("D2 CUE"),  QStringLiteral("D2 <<"),
    QStringLiteral("D2 >>")};

} // namespace

KeyShortcuts::KeyShortcuts(zen::console::KeyPress& keyPress, OptionsPanel& panel,
                           ConsolePorts& ports, MonitorText& monitor)
    : keyPress_(keyPress), panel_(panel), ports_(ports), monitor_(monitor) {
    for (int entry = 0; entry < kEntries; ++entry) {
        copyMapping(entry);
        connect(panel_.txtMapping(MappingBox::kFirstKeyBox + entry), &QLineEdit::textChanged, this,
                [this, entry] { copyMapping(entry); });
    }
    connect(&panel_, &OptionsPanel::visibilityChanged, this,
            [this](bool shown) { panelShown_ = shown; });
}

KeyShortcuts::~KeyShortcuts() {
    stop();
}

void KeyShortcuts::start(QWidget& window) {
    keyPress_.start(
        window,
        [this] {
            while (tick()) {
            }
        },
        [this](const QString& line) { toWindow([this, line] { monitor_.append(line); }); });
}

void KeyShortcuts::stop() {
    keyPress_.stop();
}

bool KeyShortcuts::tick() {
    keyPress_.poll();
    const int key = keyPress_.keyCode();
    if (key == lastKey_) return false;
    if (key == 0) {
        released();
        return true;
    }
    lastKey_ = key;
    if (panelShown_)
        toWindow([this, key] { capture(key); });
    else if (engineRunning_)
        route(key);
    if (key == kBackspace) toWindow([this] { erase(); });
    return true;
}

void KeyShortcuts::setEngineRunning(bool running) {
    engineRunning_ = running;
    std::vector<zen::console::KeyShortcut> shortcuts;
    if (running) {
        // One shortcut per key, saying everything it does.
        std::map<int, QStringList> keys;
        for (int entry = 0; entry < kEntries; ++entry) {
            const double code = mapping_[entry];
            if (code >= 1 && code <= 255 && code == static_cast<int>(code))
                keys[static_cast<int>(code)].append(kCommandNames[entry]);
        }
        for (const auto& [code, names] : keys)
            shortcuts.push_back({code, names.join(QStringLiteral(", "))});
    }
    keyPress_.offerShortcuts(shortcuts);
    if (running) monitor_.append(keyPress_.reading());
}

void KeyShortcuts::copyMapping(int entry) {
    mapping_[entry] =
        zen::config::leadingNumber(panel_.txtMapping(MappingBox::kFirstKeyBox + entry)->text());
}

void KeyShortcuts::capture(int key) {
    if (!panel_.isVisible()) return;
    const int marked = panel_.markedEntry();
    if (marked >= MappingBox::kFirstKeyBox)
        panel_.txtMapping(marked)->setText(QString::number(key));
}

void KeyShortcuts::route(int key) {
    // Every entry the key matches is served, in entry order. An entry's number is read as the
    // configuration file's numbers are; "none" and an empty box read as 0, which no key is.
    for (int entry = 0; entry < kEntries; ++entry) {
        if (mapping_[entry] != key) continue;
        const int deck = entry < kEntriesPerDeck ? 1 : 2;
        ports_.sendCommand(deck, zen::cmd::kPlayPause + entry % kEntriesPerDeck);
        toWindow([this, entry] { monitor_.append(kCommandNames[entry]); });
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
    toWindow([this] { monitor_.append(QStringLiteral("Key UP")); });
    lastKey_ = 0;
}

void KeyShortcuts::toWindow(std::function<void()> work) {
    QMetaObject::invokeMethod(this, std::move(work));
}
