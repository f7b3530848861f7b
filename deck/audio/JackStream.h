#pragma once

#include "deck/audio/OutputStream.h"

#include <jack/jack.h>

// The deck as a JACK client of its own name ("Zentari Deck 1"): its ports "left" and "right" (or
// "mono" for a single output), connected to exactly the playback ports of the output chosen, at
// the server's rate and block size.
namespace zen::audio {

class JackStream final : public OutputStream {
public:
    ~JackStream() override;

    bool open(const zen::sound::Output& output, const std::string& clientName, Mixer& mixer,
              std::string& why) override;
    void close() override;

private:
    static int process(jack_nframes_t frames, void* self);
    static void shutdown(jack_status_t code, const char* reason, void* self);

    jack_client_t* client_ = nullptr;
    std::array<jack_port_t*, 2> ports_{};
    int width_ = 2;
};

} // namespace zen::audio
