#pragma once

#include "console/ConsoleHost.h"

#include <QFutureWatcher>
#include <array>
#include <functional>
#include <optional>

class ConsolePorts;
class OptionsPanel;

// ZentariDJ.ini on the console's side: read into the options panel at start-up, saved from it,
// and copied for the decks at every engine start.
class ConsoleConfig {
public:
    ConsoleConfig(ConsoleHost& host, OptionsPanel& panel, ConsolePorts& ports)
        : host_(host), panel_(panel), ports_(ports) {}
    // A copy under way is finished first: it writes through the host.
    ~ConsoleConfig();

    // Reads the file into the panel and resolves the deck port numbers from its port names, in
    // the port lists as the console read them at start-up. A
    // missing file is first written with a new user's settings; a file that cannot be read is
    // reported and every field reads as the empty text.
    void LoadConfig();
    // "Save and Close": writes the panel's settings, hides it and says so. A file that cannot be
    // written, or a value it cannot hold faithfully, is reported and the panel stays open.
    void saveAndClose();
    using Copied = std::function<void(std::optional<std::array<qint16, 2>>)>;
    // Copies the file to deck1.ini and deck2.ini, replacing older copies, then hands `copied`
    // each deck's port number, resolved from the port name in the copy it will read. Each copy is
    // synced before it replaces the old one, which may wait on a busy disk, so the copies are
    // written off the window thread and `copied` follows on it. A copy that cannot be written is
    // reported with its reason, and `copied` gets nothing: no deck may start on settings that
    // are not whole.
    void copyToDecks(Copied copied);
    // From copyToDecks until its `copied` has run.
    bool copying() const { return copying_; }
    // Each deck's port number from the copy it read: what running decks listen on. Resolved in
    // the port lists as read at start-up, so START asks no MIDI service.
    std::array<qint16, 2> deckDevices() const;

private:
    QString configPath() const;
    qint16 deckDevice(int deck) const;

    // The deck whose copy failed (0 when both were written) and why.
    struct CopyFailure {
        int deck = 0;
        QString error;
    };

    ConsoleHost& host_;
    OptionsPanel& panel_;
    ConsolePorts& ports_;
    QFutureWatcher<CopyFailure> copies_;
    bool copying_ = false;
};
