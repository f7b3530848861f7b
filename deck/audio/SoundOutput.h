#pragma once

#include "common/sound/Outputs.h"
#include "deck/audio/OutputBackend.h"
#include "deck/audio/OutputStream.h"

#include <atomic>
#include <memory>
#include <optional>

// The output a device number names in zen::sound::listOutputs(), on whichever server lists it,
// under the deck's own name there; opened again, the same output it was, whatever number the
// list now gives it. Nothing here waits on a sound server without a time limit: a
// stream that does not close in time is left to close on its own.
//
// A server that hangs (stopped, wedged) tells nothing: its stream fails when its callback has not
// been called for half a second. Closed, such a stream is kept aside rather than waited on, and
// while it still hangs an open() asks no server (that would wait on the hung one) and fails; once
// it is called again, open() plays on through it, as it was.
namespace zen::audio {

class SoundOutput final : public OutputBackend {
public:
    ~SoundOutput() override;

    void setClientName(const std::string& name) override { name_ = name; }
    bool open(int device, Mixer& mixer) override;
    std::string problem() const override;
    bool failed() const override;
    std::int64_t lastCallNs() const override { return stream_ ? stream_->lastCallNs() : 0; }
    bool start() override;
    bool stop() override;
    void close() override;
    bool running() const override;
    double latencySeconds() const override;
    double sampleRate() const override;
    bool realTime() const override { return true; }
    // The sound server stands in for the platform's audio layer; 9 is the level the deck asks for.
    std::uint32_t platformVersion() const override { return 9; }

private:
    static bool hangs(const OutputStream& stream);

    std::string name_ = "Zentari DJ";
    std::string problem_;
    std::string gone_; // how the last stream ended, while no other has opened since
    // The output the device number named when it last opened.
    std::optional<zen::sound::Output> playedOn_;
    int playedDevice_ = -1;
    std::unique_ptr<OutputStream> stream_;
    std::unique_ptr<OutputStream> hung_; // closed while its server hung
    // The open stream was found hanging: closed, it waits aside even if it answers by then, so
    // that a short hang (or a deck starved of the processor for half a second) costs no new
    // client on the server.
    mutable std::atomic<bool> hangSeen_{false};
};

} // namespace zen::audio
