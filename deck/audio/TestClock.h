#pragma once

#include "deck/audio/AudioEngine.h"

#include <memory>
#include <vector>

// The engine with no sound device: a test (or a benchmark) renders the output on demand.
//
// init() accepts device numbers 0..9 (and fails for any other, as for a device that is missing);
// getInfo() reports platform version 9. render() is deterministic: before each block it waits for
// the decoder to produce the frames that block reads, so a test never races the decode worker.
// Commands take effect at once (there is no audio thread to hand them to; a held group at its
// release), and the position is the next frame render() will output. Nothing advances without
// init() and start(), nor while the output is gone.
namespace zen::audio {

class TestClockEngine : public AudioEngine {
public:
    static constexpr int kDevices = 10;

    // Interleaved stereo float at the output's rate: the mixed output as the device would get it.
    virtual std::vector<float> render(int frames) = 0;
    // The output fails as one does whose sound server went away, and opens again only once it is
    // back, at `rate` from then on.
    virtual void setOutputGone(bool gone, double rate) = 0;
    // The output stops, as one does whose sound server hangs, and plays on as it was once the
    // server answers again.
    virtual void setOutputHung(bool hung) = 0;
};

// The output runs at `outputRate` Hz, as a sound server at that rate would.
std::unique_ptr<TestClockEngine> createTestClockEngine(double outputRate = 44100);

} // namespace zen::audio
