#pragma once

#include "deck/audio/AudioEngine.h"

#include <functional>

namespace zen::deck {

// Answers the deck's current channel handle (0 while no track is loaded). The displays ask it on
// every tick, so a load is picked up without telling them.
using ChannelSource = std::function<audio::Handle()>;

} // namespace zen::deck
