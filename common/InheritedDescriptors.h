#pragma once

namespace zen {

// Closes every descriptor above standard error that the process was started with. The console
// starts the decks while it holds sound-server and display connections, and a launcher may hand
// on its own: a deck that kept a copy would keep a dead console's connection open, and a sound
// server waiting on a client nobody reads stalls every program it serves.
void closeInheritedDescriptors();

} // namespace zen
