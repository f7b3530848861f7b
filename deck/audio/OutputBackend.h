#pragma once

#include <cstdint>
#include <string>

// Where the mixed sound goes: a sound server's output or the test clock. The engine drives it
// from the window thread only.
namespace zen::audio {

class Mixer;

class OutputBackend {
public:
    virtual ~OutputBackend() = default;

    // The name the output is known by on its sound server; before open().
    virtual void setClientName([[maybe_unused]] const std::string& name) {}
    // Opens the output numbered as zen::sound::listOutputs() numbers it, feeding it from mixer.
    virtual bool open(int device, Mixer& mixer) = 0;
    // Why the last open() failed, or why the output stopped, in words that say what to do.
    virtual std::string problem() const { return {}; }
    // True once the output stopped on its own (its sound server went away or hangs, the stream
    // broke): from then on nothing calls the mixer until it is opened again. Any thread.
    virtual bool failed() const { return false; }
    // Steady-clock ns when the mixer was last called, where the output knows; 0 otherwise.
    virtual std::int64_t lastCallNs() const { return 0; }
    virtual bool start() = 0;
    virtual bool stop() = 0;
    virtual void close() = 0;
    // True while an audio thread may be inside Mixer::process. When false the window thread may
    // apply commands itself.
    virtual bool running() const = 0;
    // Seconds between rendering a frame and hearing it.
    virtual double latencySeconds() const = 0;
    // The rate the output runs at once open, in Hz.
    virtual double sampleRate() const = 0;
    // True when sound is paced by a real clock, so positions advance between blocks.
    virtual bool realTime() const = 0;
    virtual std::uint32_t platformVersion() const = 0;
};

} // namespace zen::audio
