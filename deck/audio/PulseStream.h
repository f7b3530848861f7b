#pragma once

#include "deck/audio/OutputStream.h"

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

// The deck as a PipeWire/PulseAudio application and stream of its own name ("Zentari Deck 1"),
// on the sink of the output chosen at the sink's own rate. A pair of a multi-channel sink is
// played as a stream of all the sink's channels, in its channel map, with the mix in the pair
// and silence in the others, so the server has nothing to remix; the default output is a stereo
// stream to the server's default sink, placed as the server places any.
namespace zen::audio {

class PulseStream final : public OutputStream {
public:
    ~PulseStream() override;

    bool open(const zen::sound::Output& output, const std::string& clientName, Mixer& mixer,
              std::string& why) override;
    void close() override;

private:
    static void onContextState(pa_context* context, void* self);
    static void onStreamState(pa_stream* stream, void* self);
    static void onWrite(pa_stream* stream, std::size_t bytes, void* self);
    // Runs the server's thread until `ready` or the time is up; the loop is locked around it.
    template <typename Ready> bool waitFor(Ready&& ready);

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    int channels_ = 2;
    int first_ = 0;
    int width_ = 2;
};

} // namespace zen::audio
