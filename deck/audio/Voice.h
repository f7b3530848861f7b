#pragma once

#include "deck/audio/EngineShared.h"
#include "deck/audio/ParamEqFilter.h"
#include "deck/audio/PcmTrack.h"
#include "deck/audio/Upsampler.h"
#include "deck/audio/Varispeed.h"

#include <array>
#include <cstdint>
#include <memory>

// One playing channel on the audio thread: reads the track's PCM at its rate (varispeed), runs
// its equalizer bands, meters what comes out and adds it to the mix with its volume and pan. With
// a loop set, the frame that reaches the loop end is followed by the loop start, crossfaded. What
// it plays goes to its scope at the rate it renders at; the spectrum's reader converts that to
// 44100 Hz, so the spectrum's bins keep their frequencies.
//
// For an output of 88.2 kHz or more the voice renders at half its rate, and the upsampler doubles
// it before the volume and pan: still one conversion from the file's rate to the output's, at
// nearly half the cost, losing only what lies above 22 % of the output's rate, out of hearing.
// The upsampler delays what it is handed by a fixed time, so while playing the voice renders that
// far ahead of what it reports: a seek or a play lands on its frame exactly when it is heard, and
// its crossfade is shorter by that time so that a jump is over as soon as at any other rate.
//
// The resampler plays at the file's own rate too, flat there as elsewhere: moving the pitch
// changes nothing but its ratio, with no switch to crossfade, and a deck at 0 % costs what it
// costs at any pitch.
//
// While it plays, the voice renders its varispeed kAheadPeriods periods of the output at a time and
// hands them out as the output asks: woken for each period of a sound server, after the machine
// did other work in between, libsoxr's code (the varispeed's first stage) runs two to five times
// slower for a while (measured on a virtual machine), and rendering many periods at once pays that
// once instead of at each. Everything after the varispeed (equalizer, level, scope, upsampler,
// volume and pan) works on the frames as they are heard, so a change there sounds, and shows, at
// the next block. A command that changes what the varispeed renders (play, stop, seek, loop, rate)
// brings it back to the frame about to be heard: what it rendered ahead of that frame is the tail a
// jump fades out, and it renders again from there. After a change of rate it renders only what is
// heard for a while, so that a fader's or a bend's stream of changes costs one such return, not one
// each.
//
// Created and deleted on the window thread (the converter state and every buffer are allocated
// in the constructor); between AddVoice and its return through the retire queue only the audio
// thread touches it, apart from the report and scope it publishes.
namespace zen::audio {

class Voice {
public:
    static constexpr int kBlock = 256; // largest block render() takes
    // How far the varispeed renders ahead of what is heard while it plays: this many periods of
    // the output, so that the period that renders them takes a small share more of its time,
    // and at most kAhead frames at the render rate.
    static constexpr int kAheadPeriods = 16;
    static constexpr int kAhead = 4096;
    // The crossfade over any jump in the stream, ~2.9 ms: this many frames at 44100 Hz, as many
    // more as a faster output needs for the same time, up to kMaxFade.
    static constexpr int kFade = 128;
    static constexpr int kMaxFade = 4 * kFade;
    static constexpr int kMaxEqBands = ParamEqFilter::kMaxChain;
    // Below this rate, as a share of the output rate (the last tenth of a tape stop at 44100 Hz,
    // where what is heard lies under 2 kHz), a linear interpolator takes over from the resampler:
    // there a restart of the resampler (a seek or a loop wrap) would render hundreds of thousands
    // of frames unheard on the audio thread, and at the bottom it would read hundreds of input
    // frames per output frame.
    static constexpr double kLinearBelowRatio = 0.1;

    // The highest rate a channel plays at, for a file of `ownRate`.
    static double maxRate(double ownRate);

    // Plays the track into an output of `outputRate` Hz: the varispeed converts the file's rate
    // and the output's in one step.
    Voice(std::shared_ptr<const PcmTrack> track, bool module, double outputRate);
    Voice(const Voice&) = delete;
    Voice& operator=(const Voice&) = delete;

    // The output came back at another rate: the voice goes on from where it is, at the same pitch
    // and slide times. Only while no audio thread runs; allocates.
    void setOutputRate(double rate);

    bool ok() const { return varispeed_->ok(); }
    bool module() const { return module_; }
    const PcmTrack& track() const { return *track_; }

    // Audio thread.
    // The output asks for `frames` at a time.
    void setPeriod(int frames) { period_ = frames; }
    void apply(const Command& command, double latencyFrames);
    // Adds `frames` (<= kBlock) of stereo output to mix, scaled by globalVolume (0..100).
    void render(float* mix, int frames, int globalVolume);
    void publish(std::int64_t nowNs);
    bool audible() const { return playing_ || fadeLeft_ > 0 || ringLeft_ > 0; }
    // The channel was freed: stop, fading out when `fade`, and take no more commands.
    void retire(bool fade);
    bool retiring() const { return retiring_; }
    // Source frames that must be decoded before the next `frames` can be rendered, whatever is
    // rendered ahead with them.
    std::int64_t framesNeeded(int frames) const { return needFor(playing_ ? kAhead : frames); }

    // Any thread.
    VoiceReport report() const { return report_.read(); }
    const ScopeRing& scope() const { return scope_; }

private:
    enum class Mode { Sinc, Linear };
    struct Slide {
        double current = 0;
        double target = 0;
        double step = 0;
        std::int64_t remaining = 0;
        void set(double value, int timeMs, double outputRate);
        void advance(int frames);
    };
    // A block the varispeed rendered ahead, and where the rendering was when it began.
    struct AheadBlock {
        int frames = 0;
        int valid = 0;       // frames before the end of the track: all of them when it goes on
        double from = 0;     // the position there, on pos_'s count
        double advanced = 0; // source frames played in it, loop wraps unfolded
        PlayRun run;         // as it began
        Slide rate;          // as it began
        Mode mode = Mode::Sinc;
    };
    // Where the rendering was at a frame rendered ahead.
    struct Point {
        double pos = 0;
        double advanced = 0; // source frames played from the first frame rendered ahead
        PlayRun run;
        Slide rate;
        Mode mode = Mode::Sinc;
        bool ended = false; // the end of the track comes before it
    };

    void useOutputRate(double outputRate);
    // Source frames between what is rendered and what the upsampler lets out.
    double lagSource() const { return lag_ * rate_.current / renderRate_; }
    // A heard position, moved on to where the rendering must be; and back.
    double ahead(double heard) const;
    double behind(double rendered, const PlayRun& run, double rate) const {
        return run.follow(rendered, -lag_ * rate / renderRate_);
    }
    std::int64_t needFor(int frames) const;
    // The stereo frames of one block at the render rate, equalized, metered and in the scope.
    void renderVoice(float* out, int frames);
    // The next `frames` to be heard while playing, from what was rendered ahead, rendering more
    // when it runs out.
    void hear(float* out, int frames);
    // Renders ahead from where the rendering is, kAheadPeriods periods of the output (only `frames`
    // right after a restart and for a while after a change of rate), as far as the decoder has
    // been.
    void renderAhead(int frames);
    // Hands out `frames` of what was rendered ahead and notes where they played from; the voice
    // stops once the end of the track has been heard.
    void hearAhead(float* out, int frames, bool first);
    Point pointAt(int frame) const;
    // Brings the rendering back to the frame about to be heard, the varispeed restarting there;
    // with `fade`, what would have been heard next becomes the tail that a jump fades out.
    void comeBack(bool fade);
    // One block of the varispeed's output from where the rendering is, the rate sliding on; the
    // frames played before the end of the track.
    int renderBlock(float* out, int frames);
    static void feedConverter(void* self, float* out, int count);
    std::int64_t endFrame() const;
    // Refreshes the end and tells whether the next `frames` can be read without the decoder.
    bool readable(int frames);
    void readFrame(std::int64_t frame, float& left, float& right) const;
    // The whole-track loop has nothing past the track's end to crossfade with: with the loop flag
    // the last kFade frames of the track fade out and, after a wrap, its first kFade fade in.
    float trackWrapGain(std::int64_t frame, bool wrapped) const;
    // A frame with that gain; silence outside the track.
    void readFaded(std::int64_t frame, bool wrapped, float& left, float& right) const;
    Mode modeFor(double rate0, double rate1) const;
    int renderRaw(float* out, int frames, double rate0, double rate1, Mode mode);
    int renderLinear(float* out, int frames, double rate0, double rate1);
    int renderSinc(float* out, int frames, double rate);
    // Renders a playing block, split where it crosses the loop end; the frames played before the
    // end of the track.
    int renderPlaying(float* out, int frames, double rate0, double rate1);
    bool loopArmed() const { return run_.loopEnd > run_.loopStart && pos_ < run_.loopEnd; }
    // How many of the next `frames` (at a rate moving from rate0 to rate1) are read before the
    // loop end; at least 1 while the loop is armed. For the linear interpolator only: the
    // resampler wraps in its input.
    int framesBeforeLoopEnd(int frames, double rate0, double rate1) const;
    void wrapLoop(double rate);
    void mixFade(float* out, int frames);
    // Renders the next few ms as they would have sounded, to fade them out over a jump.
    void captureTail(double rate);
    void restartAt(double frame);
    void resync();
    // A new run, heard from `heard` on.
    void beginRun(double heard);
    void meter(const float* stereo, int frames);

    std::shared_ptr<const PcmTrack> track_;
    const bool module_;
    const int channels_;
    double renderRate_ = 44100; // the output's, or half of it
    bool halving_ = false;
    Upsampler upsampler_;
    std::array<float, 2 * kBlock> upsampled_{};
    double lag_ = 0;   // the upsampler's delay in frames at the render rate
    int ringLeft_ = 0; // input frames of silence until the upsampler is silent too
    int fade_ = kFade; // rendered frames of a crossfade
    std::unique_ptr<Varispeed> varispeed_;

    bool playing_ = false; // as heard: the varispeed may have reached the end of the track ahead
    bool ended_ = false;   // the rendering reached the end of the track
    bool loop_ = false;    // the play flag: wrap from the end of the track to its start
    bool unheard_ = false; // play was applied and no block rendered since
    bool retiring_ = false;
    Mode mode_ = Mode::Sinc;
    // Next source frame to render, with the resampler's fraction: while playing, lagSource() and
    // what was rendered ahead beyond what is heard, otherwise where the next play starts.
    double pos_ = 0;
    PlayRun run_;
    double advanced_ = 0; // source frames played in the block being rendered
    // What was rendered ahead: kAhead frames at most, in blocks, heard_ of them handed out.
    std::array<float, 2 * kAhead> ahead_{};
    std::array<AheadBlock, kAhead / kBlock> aheadBlocks_{};
    int aheadBlockCount_ = 0;
    int period_ = kBlock; // frames the output asks for at a time
    int aheadFrames_ = 0;
    int heard_ = 0;
    std::int64_t holdAhead_ = 0; // frames heard before rendering ahead again, after a rate change
    // The frames heard last, as the report tells them: positions on pos_'s count.
    double heardFrom_ = 0;
    double heardTo_ = 0;
    double heardAdvanced_ = 0;
    PlayRun heardRun_;
    double heardRate_ = 0;
    std::int64_t feedCursor_ = 0;   // next source frame handed to the converter
    bool trackWrapped_ = false;     // the whole-track loop wrapped since the last restart
    bool feedWrapped_ = false;      // the same for the resampler's input, which runs ahead
    bool resyncPending_ = false;    // the resampler goes on from pos_ at its next render
    bool feedLoopArmed_ = false;    // the resampler's input wraps at the loop end
    std::int64_t feedFadeLeft_ = 0; // crossfade in the resampler's input after a loop wrap
    std::int64_t feedFadeLength_ = 0;
    std::int64_t feedFadeFrom_ = 0; // what followed the loop end, fading out
    std::int64_t cachedEnd_ = 0;
    std::uint64_t ack_ = 0;

    Slide rate_;
    Slide volume_;
    Slide pan_;
    float lastGain_[2] = {-1, -1};

    std::array<ParamEqFilter, kMaxEqBands> eq_;
    std::array<bool, kMaxEqBands> eqOn_{};

    int fadeLeft_ = 0;
    std::array<float, 2 * kMaxFade> tail_{};
    std::array<float, 2 * kMaxFade> scratch_{};
    std::array<float, 2 * kBlock> work_{};
    std::array<float, kBlock> mono_{};

    // Peaks of the last 14 chunks of 64 frames at 44100 Hz (as many more at a faster output):
    // about 20 ms.
    static constexpr int kMeterChunks = 14;
    int meterChunk_ = 64;
    std::array<float, 2 * kMeterChunks> chunkPeaks_{};
    std::size_t chunkIndex_ = 0;
    int chunkFill_ = 0;
    float runningPeak_[2] = {0, 0};

    SeqLock<VoiceReport> report_;
    ScopeRing scope_;
};

} // namespace zen::audio
