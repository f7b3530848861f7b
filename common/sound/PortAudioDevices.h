#pragma once

#include <string>

// ALSA's devices as PortAudio names them, for the list and for the deck that opens them.
namespace zen::sound {

// Pa_Initialize, with ALSA's complaints about the devices it probes and cannot open (there are
// dozens on a machine without a sound card) kept off the terminal.
bool initialisePortAudio();

// PortAudio's index of the ALSA device of that name (a card's, or one the ALSA configuration
// defines), or of ALSA's default output for an empty name; -1 when it is not there. PortAudio
// must be initialised by the caller.
int portAudioIndex(const std::string& device);

} // namespace zen::sound
