#pragma once

#include <QString>

// The number of the MIDI input (FindMidiIn) or output (FindMidiOut) device whose whole name is
// `portName` (exact, case-sensitive): the last match walking the list from 0, or -1 when none
// matches. The walk reads the hardware ports afresh.
qint16 FindMidiIn(const QString& portName);
qint16 FindMidiOut(const QString& portName);
// The same over the hardware outputs as last read, without asking the system's MIDI services
// again (which opens a sound-server client and takes tenths of a second): for the console, whose
// lists are read at its start-up, to resolve the deck ports at START.
qint16 FindListedMidiOut(const QString& portName);
