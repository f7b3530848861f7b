#include "deck/audio/BpmAnalysis.h"
#include "deck/audio/Engine.h"
#include "deck/audio/Mixer.h"
#include "deck/audio/TestClock.h"

// Tempo detection over decode channels, and the tempo conventions the deck's BPM labels rest on.
namespace zen::audio {

namespace {
constexpr float kDefaultMinBpm = 45;
constexpr float kDefaultMaxBpm = 230;
} // namespace

template <typename I>
float BasicEngine<I>::bpmDecodeGet(Handle decodeChannel, double startSec, double endSec,
                                   std::uint32_t minMaxBpm, std::uint32_t flags,
                                   const BpmProgress& progress) {
    Channel* c = find(decodeChannel);
    if (!c || c->voice) return 0;
    // 0 = the default range; otherwise minimum in the low word, maximum in the high word.
    float minBpm = kDefaultMinBpm, maxBpm = kDefaultMaxBpm;
    if (minMaxBpm != 0) {
        minBpm = static_cast<float>(minMaxBpm & 0xffff);
        maxBpm = static_cast<float>(minMaxBpm >> 16);
        if (minBpm <= 0 || maxBpm <= minBpm) return 0;
    }
    // Held here: the progress callback runs the caller's code, which may free the channel.
    const std::shared_ptr<const PcmTrack> track = c->track;
    const float bpm =
        analyseBpm(*track, startSec, endSec, minBpm, maxBpm, flags, [&](float percent) {
            if (progress) progress(decodeChannel, percent);
        });
    // The progress callback may have freed the channel.
    if ((c = find(decodeChannel))) c->bpm = bpm;
    return bpm;
}

template <typename I> void BasicEngine<I>::bpmFree(Handle handle) {
    Channel* c = find(handle);
    if (!c) return;
    c->bpm = 0;
    // A detection handle is its decode channel: freeing one frees the other.
    if (!c->voice) freeChannel(handle);
}

// No tempo channels are ever created, so there is none to free.
template <typename I> void BasicEngine<I>::tempoFree(Handle) {}

template <typename I> float BasicEngine<I>::tempoGetApproxPercents(Handle) const {
    return -1;
}

template <typename I> float BasicEngine<I>::bpmPercents2Bpm(Handle bpm, float percent) const {
    const Channel* c = find(bpm);
    return c ? c->bpm * percent / 100.0f : 0.0f;
}

template class BasicEngine<AudioEngine>;
template class BasicEngine<TestClockEngine>;

} // namespace zen::audio
