#include "deck/audio/Engine.h"

#include "deck/audio/Mixer.h"
#include "deck/audio/ParamEqFilter.h"
#include "deck/audio/TestClock.h"
#include "deck/audio/Voice.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace zen::audio {

namespace {
// The rate the deck speaks in: init() asks for it, and every rate, position, length and spectrum
// bin keeps its meaning there, whatever the output's own rate.
constexpr int kMixRate = 44100;
constexpr double kMinRate = 100.0;
constexpr std::size_t kMaxHeldCommands = 64;

} // namespace

template <typename I>
BasicEngine<I>::BasicEngine(std::unique_ptr<OutputBackend> output)
    : output_(std::move(output)), mixer_(std::make_unique<Mixer>()) {}

template <typename I> BasicEngine<I>::~BasicEngine() {
    free();
    releaseEverything();
    mixer_->releaseAll();
    collectRetired();
}

template <typename I> std::uint32_t BasicEngine<I>::getVersion() const {
    return 0x00080001;
}

template <typename I> bool BasicEngine<I>::init(int device, int freq, std::uint32_t) {
    // The output runs at its own rate, which the varispeed folds in; another mix rate would
    // change what every rate and position means, so asking for one is refused, not ignored.
    if (initialised_ || freq != kMixRate) return false;
    if (!output_->open(device, *mixer_)) return false;
    outputRate_ = output_->sampleRate();
    mixer_->setOutputRate(outputRate_);
    mixer_->setLatencyFrames(output_->latencySeconds() * outputRate_);
    device_ = device;
    initialised_ = true;
    lost_ = false;
    return true;
}

template <typename I> void BasicEngine<I>::setClientName(const std::string& name) {
    output_->setClientName(name);
}

template <typename I> std::string BasicEngine<I>::outputProblem() const {
    return output_->problem();
}

template <typename I> bool BasicEngine<I>::start() {
    if (!initialised_) return false;
    started_ = true;
    return lost_ || output_->start();
}

template <typename I> bool BasicEngine<I>::stop() {
    started_ = false;
    return initialised_ && output_->stop();
}

template <typename I> bool BasicEngine<I>::outputLost() {
    if (!initialised_) return false;
    if (!lost_) {
        if (!output_->failed()) return false;
        // Nothing calls the mixer any more: it is this thread's until the output is back, with
        // whatever commands were waiting for the audio thread.
        output_->stop();
        mixer_->drainCommands();
        lost_ = true;
        // The time since the last block was played is unheard too.
        const std::int64_t last = output_->lastCallNs();
        unheardUntilNs_ = last > 0 ? std::min(last, steadyNs()) : steadyNs();
    }
    if (started_ && output_->realTime()) renderUnheard();
    collectRetired();
    return true;
}

template <typename I> void BasicEngine<I>::renderUnheard() {
    // A window thread held for long (a message box) loses the time beyond this, not the set.
    constexpr double kMostSeconds = 10;
    const std::int64_t now = steadyNs();
    const double seconds = std::min((now - unheardUntilNs_) / 1e9, kMostSeconds);
    auto frames = static_cast<std::int64_t>(seconds * outputRate_);
    unheardUntilNs_ = seconds == kMostSeconds
                          ? now
                          : unheardUntilNs_ + static_cast<std::int64_t>(frames * 1e9 / outputRate_);
    unheard_.resize(2 * static_cast<std::size_t>(Voice::kBlock));
    for (; frames > 0; frames -= Voice::kBlock)
        mixer_->process(unheard_.data(),
                        static_cast<int>(std::min<std::int64_t>(frames, Voice::kBlock)), 2);
}

template <typename I> bool BasicEngine<I>::reopenOutput() {
    if (!outputLost()) return true;
    output_->close();
    if (!output_->open(device_, *mixer_)) return false;
    if (output_->sampleRate() != outputRate_) {
        // The server came back at another rate: the voices go on at the same pitch.
        outputRate_ = output_->sampleRate();
        mixer_->setOutputRate(outputRate_);
    }
    mixer_->setLatencyFrames(output_->latencySeconds() * outputRate_);
    lost_ = false;
    return !started_ || output_->start();
}

template <typename I> void BasicEngine<I>::free() {
    if (!initialised_) return;
    // Held commands name voices that are about to go.
    deliverHeld();
    output_->stop();
    output_->close();
    initialised_ = false;
    // Decode-only channels need no output and outlive it; playing channels do not.
    std::vector<Handle> playingChannels;
    for (const auto& [handle, channel] : channels_)
        if (channel.voice) playingChannels.push_back(handle);
    for (Handle h : playingChannels)
        freeChannel(h);
    // Nothing renders after this: fading voices go now.
    mixer_->releaseAll();
    collectRetired();
}

template <typename I> bool BasicEngine<I>::getInfo(EngineInfo& info) const {
    if (!initialised_) return false;
    info = EngineInfo{};
    info.words[0] = sizeof(EngineInfo);
    info.words[6] = static_cast<std::uint32_t>(kMinRate);
    info.words[7] = 100000;
    info.words[10] = output_->platformVersion();
    info.words[11] = static_cast<std::uint32_t>(std::lround(output_->latencySeconds() * 1000));
    return true;
}

// Decoding runs ahead over the whole track into memory, so there is nothing to size here; the
// control latency is the output block, whatever this asks.
template <typename I> void BasicEngine<I>::setBufferLength(float) {}

template <typename I>
Handle BasicEngine<I>::open(const std::string& path, PcmTrack::Kind kind, bool mono,
                            bool decodeOnly, bool fxAllowed) {
    collectRetired();
    if (!decodeOnly && (!initialised_ || liveVoices_ >= kMaxVoices)) return 0;
    std::shared_ptr<const PcmTrack> track = PcmTrack::open(path, kind, mono);
    if (!track) return 0;
    Channel channel;
    channel.track = track;
    channel.module = kind == PcmTrack::Kind::Module;
    channel.fxAllowed = fxAllowed && !decodeOnly;
    channel.bytesPerFrame = 2 * track->channels();
    channel.ownRate = track->sampleRate();
    channel.rateShadow = channel.ownRate;
    if (!decodeOnly) {
        auto voice = std::make_unique<Voice>(track, channel.module, outputRate_);
        if (!voice->ok()) return 0;
        channel.voice = voice.get();
        Command add;
        add.type = Command::Type::AddVoice;
        add.voice = channel.voice;
        if (!send(add)) return 0;
        voice.release();
        ++liveVoices_;
    }
    const Handle handle = nextHandle_++;
    channels_.emplace(handle, std::move(channel));
    return handle;
}

template <typename I>
Handle BasicEngine<I>::streamCreateFile(const std::string& path, std::uint32_t offset,
                                        std::uint32_t length, std::uint32_t flags) {
    // Only whole files are played; a part of a file would need its own container parsing.
    if (offset != 0 || length != 0) return 0;
    return open(path, PcmTrack::Kind::Stream, flags & kStreamMono, flags & kDecodeOnly,
                flags & kStreamFx);
}

template <typename I>
Handle BasicEngine<I>::musicLoad(const std::string& path, std::uint32_t offset,
                                 std::uint32_t length, std::uint32_t flags) {
    if (offset != 0 || length != 0) return 0;
    return open(path, PcmTrack::Kind::Module, false, flags & kDecodeOnly, flags & kMusicFx);
}

template <typename I> void BasicEngine<I>::freeChannel(Handle handle) {
    auto it = channels_.find(handle);
    if (it == channels_.end()) return;
    for (Handle fx : it->second.effects)
        effects_.erase(fx);
    if (it->second.voice) {
        Command remove;
        remove.type = Command::Type::RemoveVoice;
        remove.voice = it->second.voice;
        // Fade out only where sound will still be rendered: not on a halted device.
        remove.fade = output_->running() || !output_->realTime();
        send(remove);
    }
    channels_.erase(it);
    collectRetired();
}

template <typename I> void BasicEngine<I>::streamFree(Handle stream) {
    const Channel* c = find(stream);
    if (c && !c->module) freeChannel(stream);
}

template <typename I> void BasicEngine<I>::musicFree(Handle music) {
    const Channel* c = find(music);
    if (c && c->module) freeChannel(music);
}

template <typename I> std::int64_t BasicEngine<I>::lengthFrames(const Channel& channel) const {
    // A damaged file ends where its decode stopped.
    const PcmTrack& t = *channel.track;
    return t.finished() ? std::min(t.decodedFrames(), t.lengthFrames()) : t.lengthFrames();
}

template <typename I> std::int64_t BasicEngine<I>::streamGetLength(Handle stream) const {
    const Channel* c = find(stream);
    return c ? lengthFrames(*c) * c->bytesPerFrame : -1;
}

template <typename I> bool BasicEngine<I>::streamPlay(Handle stream, int, std::uint32_t flags) {
    // The whole track is in memory, so a flush has no buffer to drop.
    Channel* c = find(stream);
    if (!c || !c->voice) return false;
    Command play;
    play.type = Command::Type::Play;
    play.voice = c->voice;
    play.loop = flags & kPlayLoop;
    if (!send(play)) return false;
    c->playingSeq = play.seq;
    c->playingShadow = true;
    return true;
}

template <typename I> bool BasicEngine<I>::streamPreBuf(Handle stream) {
    const Channel* c = find(stream);
    if (!c || !c->voice) return false;
    const auto from = static_cast<std::int64_t>(heardFrames(*c));
    c->track->waitDecoded(from + static_cast<std::int64_t>(2 * c->ownRate));
    return true;
}

template <typename I> bool BasicEngine<I>::channelStop(Handle channel) {
    Channel* c = find(channel);
    if (!c || !c->voice) return false;
    Command stop;
    stop.type = Command::Type::Stop;
    stop.voice = c->voice;
    if (!send(stop)) return false;
    c->playingSeq = stop.seq;
    c->playingShadow = false;
    return true;
}

template <typename I> bool BasicEngine<I>::playing(const Channel& channel) const {
    if (!channel.voice) return false;
    const VoiceReport r = channel.voice->report();
    return r.ack < channel.playingSeq ? channel.playingShadow : r.playing;
}

template <typename I> double BasicEngine<I>::heardFrames(const Channel& channel) const {
    if (!channel.voice) return static_cast<double>(channel.decodePosition);
    const VoiceReport r = channel.voice->report();
    if (r.ack < channel.positionSeq) return channel.positionShadow;
    if (!r.playing || !output_->realTime() || !output_->running()) return r.renderedTo;
    // Frames of the last block reach the speaker latencySeconds after it was rendered.
    const double since = (steadyNs() - r.blockTimeNs) / 1e9 - output_->latencySeconds();
    const auto length = static_cast<double>(lengthFrames(channel));
    double heard = r.run.follow(r.renderedFrom, std::min(since * r.rate, r.advanced));
    // The loop flag may have wrapped the track inside the block.
    if (heard >= length && length > 0) heard -= length;
    if (heard < 0) heard += length;
    return std::max(heard, 0.0);
}

template <typename I> BytePosition BasicEngine<I>::channelGetPosition(Handle channel) const {
    const Channel* c = find(channel);
    if (!c) return -1;
    const auto frames = static_cast<std::int64_t>(heardFrames(*c));
    return static_cast<BytePosition>(std::min(frames, lengthFrames(*c)) * c->bytesPerFrame);
}

template <typename I> bool BasicEngine<I>::channelSetPosition(Handle channel, BytePosition bytes) {
    Channel* c = find(channel);
    if (!c) return false;
    const std::int64_t frames =
        std::clamp<std::int64_t>(bytes / c->bytesPerFrame, 0, lengthFrames(*c));
    if (!c->voice) {
        c->decodePosition = frames;
        return true;
    }
    Command seek;
    seek.type = Command::Type::Seek;
    seek.voice = c->voice;
    seek.frame = frames;
    if (!send(seek)) return false;
    c->positionSeq = seek.seq;
    c->positionShadow = static_cast<double>(frames);
    return true;
}

template <typename I>
bool BasicEngine<I>::channelSetLoop(Handle channel, BytePosition startBytes,
                                    BytePosition endBytes) {
    Channel* c = find(channel);
    if (!c || !c->voice) return false;
    Command set;
    set.type = Command::Type::SetLoop;
    set.voice = c->voice;
    if (endBytes > startBytes && endBytes > 0) {
        // Start down and end up to whole frames: a position reads endBytes or more exactly when
        // it has reached the end frame.
        const std::int64_t bpf = c->bytesPerFrame;
        set.frame = std::max<std::int64_t>(startBytes, 0) / bpf;
        set.endFrame = (static_cast<std::int64_t>(endBytes) + bpf - 1) / bpf;
    }
    return send(set);
}

template <typename I>
float BasicEngine<I>::channelBytes2Seconds(Handle channel, BytePosition bytes) const {
    const Channel* c = find(channel);
    if (!c) return -1;
    return static_cast<float>(bytes / (static_cast<double>(c->bytesPerFrame) * c->ownRate));
}

template <typename I>
bool BasicEngine<I>::channelGetAttributes(Handle channel, int* rate, int* volume, int* pan) const {
    const Channel* c = find(channel);
    if (!c) return false;
    double r = c->ownRate, v = 100, p = 0;
    if (c->voice) {
        const VoiceReport report = c->voice->report();
        if (report.ack < c->attributesSeq) {
            r = c->rateShadow;
            v = c->volumeShadow;
            p = c->panShadow;
        } else {
            r = report.rate;
            v = report.volume;
            p = report.pan;
        }
    }
    if (rate) *rate = static_cast<int>(std::lround(r));
    if (volume) *volume = static_cast<int>(std::lround(v));
    if (pan) *pan = static_cast<int>(std::lround(p));
    return true;
}

template <typename I>
bool BasicEngine<I>::channelSlideAttributes(Handle channel, int rate, int volume, int pan,
                                            int timeMs) {
    Channel* c = find(channel);
    if (!c || !c->voice) return false;
    Command slide;
    slide.type = Command::Type::Slide;
    slide.voice = c->voice;
    slide.timeMs = std::max(timeMs, 0);
    if (rate != -1) {
        slide.setRate = true;
        slide.rate =
            rate == 0 ? c->ownRate : std::clamp<double>(rate, kMinRate, Voice::maxRate(c->ownRate));
    }
    if (volume != -1) {
        slide.setVolume = true;
        slide.volume = std::clamp(volume, 0, 100);
    }
    if (pan != kPanLeaveAlone) {
        slide.setPan = true;
        slide.pan = std::clamp(pan, -100, 100);
    }
    if (slide.timeMs == 0 && (slide.setRate || slide.setVolume || slide.setPan)) {
        // Until the audio thread has it, answer with what was just set.
        int r = 0, v = 0, p = 0;
        channelGetAttributes(channel, &r, &v, &p);
        c->rateShadow = slide.setRate ? slide.rate : r;
        c->volumeShadow = slide.setVolume ? slide.volume : v;
        c->panShadow = slide.setPan ? slide.pan : p;
    }
    if (!send(slide)) return false;
    if (slide.timeMs == 0) c->attributesSeq = slide.seq;
    return true;
}

template <typename I> void BasicEngine<I>::setGlobalVolumes(int music, int, int stream) {
    // -1 leaves a volume as it is. Samples do not exist here, so their volume has no effect.
    if (music != -1) musicVolume_ = std::clamp(music, 0, 100);
    if (stream != -1) streamVolume_ = std::clamp(stream, 0, 100);
    Command volumes;
    volumes.type = Command::Type::GlobalVolumes;
    volumes.music = musicVolume_;
    volumes.stream = streamVolume_;
    send(volumes);
}

template <typename I> void BasicEngine<I>::holdCommands() {
    ++holdDepth_;
}

template <typename I> void BasicEngine<I>::releaseCommands() {
    if (holdDepth_ > 0 && --holdDepth_ == 0) deliverHeld();
}

template <typename I> Handle BasicEngine<I>::channelSetFx(Handle channel, int type) {
    Channel* c = find(channel);
    if (!c || !c->fxAllowed || type != kFxParamEq) return 0;
    if (c->effects.size() >= static_cast<std::size_t>(Voice::kMaxEqBands)) return 0;
    const Handle handle = nextHandle_++;
    effects_[handle] = Effect{channel, static_cast<int>(c->effects.size()), ParamEq{}};
    c->effects.push_back(handle);
    return handle;
}

template <typename I> bool BasicEngine<I>::fxSetParameters(Handle fx, const ParamEq& params) {
    auto it = effects_.find(fx);
    if (it == effects_.end()) return false;
    Channel* c = find(it->second.channel);
    if (!c) return false;
    ParamEq& p = it->second.params;
    p.centerHz = ParamEqFilter::clampCentre(std::isfinite(params.centerHz) ? params.centerHz : 80,
                                            outputRate_);
    p.bandwidthSemitones = ParamEqFilter::clampBandwidth(
        std::isfinite(params.bandwidthSemitones) ? params.bandwidthSemitones : 12);
    p.gainDb = ParamEqFilter::clampGain(std::isfinite(params.gainDb) ? params.gainDb : 0);
    Command set;
    set.type = Command::Type::SetEq;
    set.voice = c->voice;
    set.slot = it->second.slot;
    set.centre = p.centerHz;
    set.bandwidth = p.bandwidthSemitones;
    set.gain = p.gainDb;
    return send(set);
}

template <typename I> bool BasicEngine<I>::fxGetParameters(Handle fx, ParamEq& params) const {
    auto it = effects_.find(fx);
    if (it == effects_.end()) return false;
    params = it->second.params;
    return true;
}

template <typename I> std::int32_t BasicEngine<I>::channelGetLevel(Handle channel) const {
    const Channel* c = find(channel);
    if (!c || !playing(*c)) return -1;
    return c->voice->report().level;
}

template <typename I>
std::int32_t BasicEngine<I>::channelGetData(Handle channel, float* buffer, std::uint32_t what) {
    Channel* c = find(channel);
    if (!c || !buffer || what != kDataFft2048 || !playing(*c)) return -1;
    c->scope.latest(c->voice->scope(), spectrum_.input(), SpectrumAnalyser::kSize);
    spectrum_.compute(buffer);
    return static_cast<std::int32_t>(SpectrumAnalyser::kBins * sizeof(float));
}

template <typename I> float BasicEngine<I>::getCpu() const {
    return mixer_->cpuPercent();
}

template <typename I> bool BasicEngine<I>::send(Command& command) {
    command.seq = nextSeq_++;
    // Once the output is gone there is no block to group for, and nothing may wait for it.
    if (holdDepth_ > 0 && initialised_) {
        held_.push_back(command);
        // A group is a handful of commands; a runaway one must still fit the queue.
        if (held_.size() == kMaxHeldCommands) deliverHeld();
        return true;
    }
    return deliver(&command, 1);
}

template <typename I> bool BasicEngine<I>::deliver(const Command* commands, std::size_t count) {
    if (!output_->running()) {
        // No audio thread: apply them here, now.
        if (!mixer_->commands().pushAll(commands, count)) return false;
        mixer_->drainCommands();
        collectRetired();
        return true;
    }
    // The audio thread drains the queue every block; a full queue means it is stalled.
    for (int tries = 0; !mixer_->commands().pushAll(commands, count); ++tries) {
        if (tries == 500) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    collectRetired();
    return true;
}

template <typename I> void BasicEngine<I>::deliverHeld() {
    if (held_.empty()) return;
    deliver(held_.data(), held_.size());
    held_.clear();
}

template <typename I> void BasicEngine<I>::collectRetired() {
    Voice* v = nullptr;
    while (mixer_->retired().pop(v)) {
        delete v;
        --liveVoices_;
    }
}

template <typename I> void BasicEngine<I>::releaseEverything() {
    std::vector<Handle> all;
    for (const auto& entry : channels_)
        all.push_back(entry.first);
    for (Handle h : all)
        freeChannel(h);
}

template <typename I> auto BasicEngine<I>::find(Handle handle) const -> const Channel* {
    auto it = channels_.find(handle);
    return it == channels_.end() ? nullptr : &it->second;
}

template <typename I> auto BasicEngine<I>::find(Handle handle) -> Channel* {
    auto it = channels_.find(handle);
    return it == channels_.end() ? nullptr : &it->second;
}

template class BasicEngine<AudioEngine>;
template class BasicEngine<TestClockEngine>;

} // namespace zen::audio
