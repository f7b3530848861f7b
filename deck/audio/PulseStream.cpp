#include "deck/audio/PulseStream.h"

#include "common/sound/PulseServer.h"

#include <pulse/pulseaudio.h>

#include <chrono>

namespace zen::audio {

namespace {

// The server's buffer ahead of the speaker: short enough that a fader acts at once, long enough
// for a busy machine.
constexpr double kTargetLatency = 0.025;
// A server that answers at all answers within this.
constexpr auto kAnswerTime = std::chrono::milliseconds(3000);

struct SinkFacts {
    bool done = false;
    bool found = false;
    pa_sample_spec format{};
    pa_channel_map map{};
};

void onSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* self) {
    auto* facts = static_cast<SinkFacts*>(self);
    if (eol) {
        facts->done = true;
        return;
    }
    if (!info) return;
    facts->found = true;
    facts->format = info->sample_spec;
    facts->map = info->channel_map;
}

} // namespace

PulseStream::~PulseStream() {
    close();
}

void PulseStream::onContextState(pa_context* context, void* self) {
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context)))
        static_cast<PulseStream*>(self)->failed_.store(true);
}

void PulseStream::onStreamState(pa_stream* stream, void* self) {
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
        static_cast<PulseStream*>(self)->failed_.store(true);
}

void PulseStream::onWrite(pa_stream* stream, std::size_t bytes, void* self) {
    auto* s = static_cast<PulseStream*>(self);
    const std::size_t frameBytes = sizeof(float) * static_cast<std::size_t>(s->channels_);
    while (bytes >= frameBytes) {
        void* data = nullptr;
        std::size_t size = bytes;
        if (pa_stream_begin_write(stream, &data, &size) < 0 || !data || size < frameBytes) return;
        const std::size_t frames = size / frameBytes;
        s->renderInterleaved(static_cast<float*>(data), static_cast<int>(frames), s->channels_,
                             s->first_, s->width_);
        if (pa_stream_write(stream, data, frames * frameBytes, nullptr, 0, PA_SEEK_RELATIVE) < 0)
            return;
        bytes -= std::min(bytes, frames * frameBytes);
    }
}

template <typename Ready> bool PulseStream::waitFor(Ready&& ready) {
    const auto deadline = std::chrono::steady_clock::now() + kAnswerTime;
    while (!ready()) {
        if (failed_.load() || std::chrono::steady_clock::now() > deadline) return false;
        pa_threaded_mainloop_unlock(loop_);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        pa_threaded_mainloop_lock(loop_);
    }
    return true;
}

bool PulseStream::open(const zen::sound::Output& output, const std::string& clientName,
                       Mixer& mixer, std::string& why) {
    mixer_ = &mixer;
    lostReason_ = zen::sound::pulseServerName() + " stopped or dropped the stream";
    hungReason_ = zen::sound::pulseServerName() + " does not answer";
    loop_ = pa_threaded_mainloop_new();
    if (!loop_) return false;
    context_ = zen::sound::newPulseContext(pa_threaded_mainloop_get_api(loop_), clientName);
    if (!context_) {
        why = zen::sound::pulseProblem(nullptr);
        return false;
    }
    pa_context_set_state_callback(context_, &PulseStream::onContextState, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(loop_) < 0) {
        why = zen::sound::pulseProblem(context_);
        return false;
    }
    pa_threaded_mainloop_lock(loop_);
    const auto fail = [&](const std::string& reason) {
        why = reason;
        pa_threaded_mainloop_unlock(loop_);
        return false;
    };
    if (!waitFor([&] { return pa_context_get_state(context_) == PA_CONTEXT_READY; }))
        return fail(zen::sound::pulseProblem(context_));

    const bool fallback = output.device.empty();
    SinkFacts sink;
    pa_operation* op = pa_context_get_sink_info_by_name(
        context_, fallback ? "@DEFAULT_SINK@" : output.device.c_str(), &onSinkInfo, &sink);
    const bool answered = op && waitFor([&] { return sink.done; });
    if (op) pa_operation_unref(op);
    if (!answered || !sink.found)
        return fail(zen::sound::pulseServerName() + " has no output \"" + output.description +
                    "\" any more");
    rate_ = sink.format.rate;
    pa_channel_map map = sink.map;
    if (fallback) {
        pa_channel_map_init_stereo(&map);
        width_ = 2;
    } else {
        first_ = output.firstChannel;
        width_ = output.width;
    }
    channels_ = map.channels;
    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, sink.format.rate,
                                static_cast<std::uint8_t>(channels_)};

    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_MEDIA_NAME, clientName.c_str());
    stream_ = pa_stream_new_with_proplist(context_, clientName.c_str(), &format, &map, props);
    pa_proplist_free(props);
    if (!stream_) return fail(zen::sound::pulseProblem(context_));
    pa_stream_set_state_callback(stream_, &PulseStream::onStreamState, this);
    pa_stream_set_write_callback(stream_, &PulseStream::onWrite, this);
    const auto bytes = [&](double seconds) {
        return static_cast<std::uint32_t>(seconds * rate_) * static_cast<std::uint32_t>(channels_) *
               static_cast<std::uint32_t>(sizeof(float));
    };
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = bytes(kTargetLatency);
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = bytes(kTargetLatency / 4);
    attr.fragsize = static_cast<std::uint32_t>(-1);
    int flags = PA_STREAM_ADJUST_LATENCY;
    if (!fallback) flags |= PA_STREAM_NO_REMAP_CHANNELS | PA_STREAM_NO_REMIX_CHANNELS;
    if (pa_stream_connect_playback(stream_, fallback ? nullptr : output.device.c_str(), &attr,
                                   static_cast<pa_stream_flags_t>(flags), nullptr, nullptr) < 0 ||
        !waitFor([&] { return pa_stream_get_state(stream_) == PA_STREAM_READY; }))
        return fail(zen::sound::pulseServerName() + " did not take the stream to \"" +
                    output.description + "\": " + pa_strerror(pa_context_errno(context_)));
    const pa_buffer_attr* granted = pa_stream_get_buffer_attr(stream_);
    latency_ = (granted ? granted->tlength : attr.tlength) /
               (rate_ * channels_ * static_cast<double>(sizeof(float)));
    pa_threaded_mainloop_unlock(loop_);
    return true;
}

void PulseStream::close() {
    if (!loop_) return;
    gate_.shut();
    pa_threaded_mainloop_lock(loop_);
    if (stream_) {
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
    }
    if (context_) {
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
    pa_threaded_mainloop_unlock(loop_);
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
    loop_ = nullptr;
}

} // namespace zen::audio
