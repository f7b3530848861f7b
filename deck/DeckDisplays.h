#pragma once

#include "deck/ChannelSource.h"
#include "deck/DeckUi.h"

// Puts the deck's displays into frmMain: the spectrum picture with its caption lblVU, the level
// meter, the engine's processor load lblCPU, and the window drag by lblWindowTitle. The displays
// read the deck's current channel on every tick. Their timers that start-up switches on
// (tmrSpectrum, tmrCPU) stay off until then.
void createDeckDisplays(DeckUi& ui, zen::audio::AudioEngine& engine,
                        const zen::deck::ChannelSource& channel);
