#pragma once

#include <QString>

// The number of the MIDI input (FindMidiIn) or output (FindMidiOut) device whose whole name is
// `portName` (exact, case-sensitive): the last match walking the list from 0, or -1 when none
// matches. The walk reads the hardware ports afresh.
qint16 FindMidiIn(const QString& portName);
qint16 FindMidiOut(const QString& portName);
