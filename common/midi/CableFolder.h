#pragma once

#include <string>

namespace zen::midi {

// The virtual cables stand in for a cable driver: devices 0..7 of both device lists.
inline constexpr int kCableCount = 8;

// "MIDI Yoke 1" .. "MIDI Yoke 8" for cables 1..8.
std::string cableName(int cable);

// The private per-user folder that holds the cables' sockets: $XDG_RUNTIME_DIR/zentari-midi, or
// /tmp/zentari-midi-<uid> when that variable is unset or not an absolute path.
std::string cableFolderPath();

// Creates the folder with mode 0700 when it is missing and checks it: it must be a real folder
// (not a link), owned by this user and closed to everyone else, so no other account can steer
// or stop a deck. Returns an empty text when it may be used, the reason otherwise.
std::string prepareCableFolder(const std::string& folder);

// Socket file names of a cable start with this, e.g. "cable3-".
std::string cableSocketPrefix(int cable);

} // namespace zen::midi
