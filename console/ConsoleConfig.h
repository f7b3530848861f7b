#pragma once

#include "console/ConsoleHost.h"

#include <array>
#include <optional>

class ConsolePorts;
class OptionsPanel;

// ZentariDJ.ini on the console's side: read into the options panel at start-up, saved from it,
// and copied for the decks at every engine start.
class ConsoleConfig {
public:
    ConsoleConfig(ConsoleHost& host, OptionsPanel& panel, ConsolePorts& ports)
        : host_(host), panel_(panel), ports_(ports) {}

    // Reads the file into the panel and resolves the deck port numbers from its port names, in
    // the port lists as the console read them at start-up. A
    // missing file is first written with a new user's settings; a file that cannot be read is
    // reported and every field reads as the empty text.
    void LoadConfig();
    // "Save and Close": writes the panel's settings, hides it and says so. A file that cannot be
    // written, or a value it cannot hold faithfully, is reported and the panel stays open.
    void saveAndClose();
    // Copies the file to deck1.ini and deck2.ini, replacing older copies, and resolves each
    // deck's port number from the port name in the copy it will read. A copy that cannot be
    // written is reported with its reason, and nothing is returned: no deck may start on
    // settings that are not whole.
    std::optional<std::array<qint16, 2>> copyToDecks();
    // Each deck's port number from the copy it read: what running decks listen on. Resolved in
    // the port lists as read at start-up, so START asks no MIDI service.
    std::array<qint16, 2> deckDevices() const;

private:
    QString configPath() const;
    qint16 deckDevice(int deck) const;

    ConsoleHost& host_;
    OptionsPanel& panel_;
    ConsolePorts& ports_;
};
