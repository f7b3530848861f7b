#pragma once

#include "deck/audio/AudioEngine.h"

#include <QString>
#include <cstdint>

// Time texts of the deck: minutes with at least two digits, ":", two-digit seconds, "," and
// three-digit milliseconds.

// The text of a time in seconds. The milliseconds are the last three characters of the time
// rounded to three decimals, so 59.9996 s reads 00:59,000.
QString formatSeconds(float seconds);

// FormatTime: the text of a position of the channel; position -1 gives just ":,".
QString FormatTime(const zen::audio::AudioEngine& engine, zen::audio::Handle channel,
                   zen::audio::BytePosition position);
