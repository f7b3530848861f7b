#pragma once

// How listOutputDevices() numbers PortAudio's devices, for the engine that opens them.
namespace zen::audio {

// Pa_Initialize, with ALSA's complaints about the devices it probes and cannot open (there are
// dozens on a machine without a sound card) kept off the terminal.
bool initialisePortAudio();

// PortAudio's device index for an engine device number, or -1 when the number is not in the
// list. PortAudio must be initialised by the caller.
int portAudioOutputIndex(int device);

} // namespace zen::audio
