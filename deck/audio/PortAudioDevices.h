#pragma once

// How listOutputDevices() numbers PortAudio's devices, for the engine that opens them.
namespace zen::audio {

// PortAudio's device index for an engine device number, or -1 when the number is not in the
// list. PortAudio must be initialised by the caller.
int portAudioOutputIndex(int device);

} // namespace zen::audio
