#pragma once

#include <functional>
#include <string>
#include <sys/types.h>

namespace zen::midi {

// The virtual cables stand in for a cable driver: devices 0..7 of both device lists.
inline constexpr int kCableCount = 8;

// "MIDI Yoke 1" .. "MIDI Yoke 8" for cables 1..8.
std::string cableName(int cable);

// The folder that holds the cables' sockets, picked by the same rule in every program of the
// user, so they meet: the first choice when it may be used, otherwise the fallback. A folder is
// created with mode 0700 when it is missing, and used only when it is a real folder (not a link),
// owned by this user, closed to everyone else and short enough for socket addresses, so no other
// account can steer or stop a deck. Empty when neither may be used, with both reasons in `error`,
// each naming its folder.
std::string openCableFolder(std::string& error);

// The first choice: $XDG_RUNTIME_DIR/zentari-midi when that variable names an existing folder by
// an absolute path, /tmp/zentari-midi-<uid> otherwise (which another local user can make first).
std::string firstCableFolder();
// The fallback, in the user's home, where no other user can make it: ~/.cache/zentari-midi.
// Empty when there is no home folder.
std::string fallbackCableFolder();

// The owner the checks see for a folder: what lstat says, passed through this. Tests replace it
// to stand in a folder that another user made first.
inline std::function<uid_t(const std::string& folder, uid_t owner)> cableFolderOwner;

// Socket file names of a cable start with this, e.g. "cable3-".
std::string cableSocketPrefix(int cable);
// The file name of an input socket of a cable: its prefix, the process that opened it and that
// process's count of them ("cable3-1234-0.sock").
std::string cableSocketName(int cable, long pid, unsigned count);
// The process that opened an input of the cable by that file name; 0 for any other name.
long cableSocketOwner(const std::string& fileName, int cable);

} // namespace zen::midi
