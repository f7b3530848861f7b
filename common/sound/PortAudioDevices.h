#pragma once

#include <chrono>
#include <mutex>
#include <string>

// ALSA's devices as PortAudio names them, for the list and for the deck that opens them.
namespace zen::sound {

// PortAudio's set-up and tear-down are not safe from two threads at once, and a stream's close may
// still run on a thread of its own (one that takes long is left to finish) while the window lists
// or opens again: every use from Pa_Initialize to Pa_Terminate holds this. A close waits for it;
// a list or an open waits at most kPortAudioWait, then says ALSA is busy, and is tried again.
std::timed_mutex& portAudioLock();
inline constexpr std::chrono::milliseconds kPortAudioWait{500};

// Pa_Initialize, with ALSA's complaints about the devices it probes and cannot open (there are
// dozens on a machine without a sound card) kept off the terminal.
bool initialisePortAudio();

// PortAudio's index of the ALSA device of that name (a card's, or one the ALSA configuration
// defines), or of ALSA's default output for an empty name; -1 when it is not there. PortAudio
// must be initialised by the caller.
int portAudioIndex(const std::string& device);

} // namespace zen::sound
