#pragma once

#include <cstdint>

// Where the mixed sound goes: a sound device (PortAudio) or the test clock. The engine drives it
// from the window thread only.
namespace zen::audio {

class Mixer;

class OutputBackend {
public:
    virtual ~OutputBackend() = default;

    // Opens the device numbered as listOutputDevices() numbers it, feeding it from mixer.
    virtual bool open(int device, Mixer& mixer) = 0;
    virtual bool start() = 0;
    virtual bool stop() = 0;
    virtual void close() = 0;
    // True while an audio thread may be inside Mixer::process. When false the window thread may
    // apply commands itself.
    virtual bool running() const = 0;
    // Seconds between rendering a frame and hearing it.
    virtual double latencySeconds() const = 0;
    // True when sound is paced by a real clock, so positions advance between blocks.
    virtual bool realTime() const = 0;
    virtual std::uint32_t platformVersion() const = 0;
};

} // namespace zen::audio
