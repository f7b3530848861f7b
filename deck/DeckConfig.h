#pragma once

#include "deck/Deck.h"

// Reads the deck's configuration copy ("deck" + argument + ".ini" in the settings folder) and
// styles.ini, and applies what the deck uses: the BPM read-outs, the tracking mode, the switch of
// the DJ control timer, this deck's sound device, MIDI port and joystick number, and the music
// folder of the browser. A missing copy is reported and start-up goes on with empty values.
void ReadConfig(Deck& deck);

// Points the browser at the music folder: file list, folder list, then the volume that holds it.
// An empty or unreadable folder opens the user's home folder.
void openMusicFolder(DeckUi& ui, const QString& folder);
