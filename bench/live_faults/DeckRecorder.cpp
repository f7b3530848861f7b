#include "DeckRecorder.h"

#include <jack/jack.h>

#include <QString>
#include <algorithm>
#include <chrono>

DeckRecorder::~DeckRecorder() {
    close();
}

int DeckRecorder::record(unsigned frames, void* self) {
    auto* r = static_cast<DeckRecorder*>(self);
    if (!r->armed_.load()) return 0;
    const jack_nframes_t cycle = jack_last_frame_time(r->client_);
    if (r->lastFrames_ > 0 && cycle - r->lastCycle_ > r->lastFrames_)
        r->longestSkip_.store(
            std::max<std::size_t>(r->longestSkip_.load(), cycle - r->lastCycle_ - r->lastFrames_));
    r->lastCycle_ = cycle;
    r->lastFrames_ = frames;
    const std::size_t at = r->recorded_.load();
    const std::size_t n = std::min<std::size_t>(frames, r->channels_[0].size() - at);
    for (std::size_t c = 0; c < 2; ++c) {
        const auto* in = static_cast<const float*>(jack_port_get_buffer(r->ports_[c], frames));
        std::copy(in, in + n, r->channels_[c].begin() + std::ptrdiff_t(at));
    }
    r->recorded_.store(at + n);
    return 0;
}

void DeckRecorder::connectDecks() {
    for (int deck : {1, 2})
        for (std::size_t c = 0; c < 2; ++c) {
            const QByteArray from =
                QString("Zentari Deck %1:%2").arg(deck).arg(c ? "right" : "left").toUtf8();
            if (jack_port_by_name(client_, from.constData()) &&
                !jack_port_connected_to(ports_[c], from.constData()))
                jack_connect(client_, from.constData(), jack_port_name(ports_[c]));
        }
}

bool DeckRecorder::start(double seconds) {
    seconds_ = seconds;
    client_ = jack_client_open("live_faults recorder", JackNoStartServer, nullptr);
    if (!client_) return false;
    const auto frames = std::size_t(seconds * jack_get_sample_rate(client_));
    for (std::size_t c = 0; c < 2; ++c) {
        channels_[c].assign(frames, 0.0f);
        ports_[c] = jack_port_register(client_, c ? "right" : "left", JACK_DEFAULT_AUDIO_TYPE,
                                       JackPortIsInput, 0);
    }
    recorded_ = 0;
    if (!ports_[0] || !ports_[1] || jack_set_process_callback(client_, &record, this) ||
        jack_activate(client_)) {
        close();
        return false;
    }
    // The recording begins once both decks are connected, as the playback ports hear them.
    connectDecks();
    armed_ = true;
    following_ = true;
    follower_ = std::thread([this] {
        while (following_.load()) {
            connectDecks();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    return true;
}

std::array<std::vector<float>, 2> DeckRecorder::finish() {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(int((seconds_ + 10) * 1000));
    while (recorded_.load() < channels_[0].size() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const bool whole = recorded_.load() == channels_[0].size();
    close();
    if (!whole) return {};
    return std::move(channels_);
}

void DeckRecorder::close() {
    following_ = false;
    if (follower_.joinable()) follower_.join();
    if (client_) jack_client_close(client_);
    client_ = nullptr;
}
