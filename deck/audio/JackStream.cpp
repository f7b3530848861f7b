#include "deck/audio/JackStream.h"

#include "common/sound/JackClient.h"

namespace zen::audio {

JackStream::~JackStream() {
    close();
}

int JackStream::process(jack_nframes_t frames, void* self) {
    auto* s = static_cast<JackStream*>(self);
    float* out[2] = {};
    for (int c = 0; c < s->width_; ++c)
        out[c] = static_cast<float*>(
            jack_port_get_buffer(s->ports_[static_cast<std::size_t>(c)], frames));
    const int count = static_cast<int>(frames);
    const bool mixed = s->renderMix(count, s->width_, [&](int at, const float* mix, int n) {
        for (int c = 0; c < s->width_; ++c)
            for (int i = 0; i < n; ++i)
                out[c][at + i] = mix[i * s->width_ + c];
    });
    if (!mixed)
        for (int c = 0; c < s->width_; ++c)
            std::fill(out[c], out[c] + count, 0.0f);
    return 0;
}

void JackStream::shutdown(jack_status_t, const char*, void* self) {
    static_cast<JackStream*>(self)->failed_.store(true);
}

bool JackStream::open(const zen::sound::Output& output, const std::string& clientName, Mixer& mixer,
                      std::string& why) {
    client_ = zen::sound::openJackClient(clientName, why);
    if (!client_) return false;
    lostReason_ = "JACK server \"" + zen::sound::jackServerName() + "\" stopped";
    hungReason_ = "JACK server \"" + zen::sound::jackServerName() + "\" does not answer";
    mixer_ = &mixer;
    rate_ = jack_get_sample_rate(client_);
    width_ = std::clamp(static_cast<int>(output.ports.size()), 1, 2);
    const char* names[2] = {width_ == 2 ? "left" : "mono", "right"};
    for (std::size_t c = 0; c < static_cast<std::size_t>(width_); ++c) {
        ports_[c] =
            jack_port_register(client_, names[c], JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        if (!ports_[c]) {
            why = "JACK server \"" + zen::sound::jackServerName() + "\" refused our ports";
            return false;
        }
    }
    jack_set_process_callback(client_, &JackStream::process, this);
    jack_on_info_shutdown(client_, &JackStream::shutdown, this);
    if (jack_activate(client_) != 0) {
        why = "JACK server \"" + zen::sound::jackServerName() + "\" did not start our client";
        return false;
    }
    for (std::size_t c = 0; c < output.ports.size() && c < 2; ++c) {
        if (jack_connect(client_, jack_port_name(ports_[c]), output.ports[c].c_str()) != 0) {
            why = "JACK server \"" + zen::sound::jackServerName() + "\" has no playback port \"" +
                  output.ports[c] + "\" any more";
            return false;
        }
    }
    jack_recompute_total_latencies(client_);
    jack_latency_range_t range{};
    jack_port_get_latency_range(ports_[0], JackPlaybackLatency, &range);
    latency_ = (jack_get_buffer_size(client_) + range.max) / rate_;
    return true;
}

void JackStream::close() {
    if (!client_) return;
    gate_.shut();
    jack_client_close(client_);
    client_ = nullptr;
}

} // namespace zen::audio
