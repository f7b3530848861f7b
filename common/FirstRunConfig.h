#pragma once

#include "common/ConfigRecord.h"

namespace zen::config {

// The settings a new user starts with, so the first start plays rather than greets with an
// error: BPM detection and normal tracking on, no external input (an input on cable 1 would hear
// the console's own commands), both decks on the default output and on cables 1 and 2, the keys
// a s d f g for deck 1 and h j k l ; for deck 2 (play, stop, cue, <<, >>, as scan codes), no
// controller mapped, and the given music folder.
ConfigRecord firstRunConfig(const QString& musicFolder);

// The user's music folder (XDG_MUSIC_DIR of user-dirs.dirs), or the home folder when there is
// none.
QString userMusicFolder();

} // namespace zen::config
