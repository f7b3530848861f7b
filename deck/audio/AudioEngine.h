#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The deck's only door to sound. Every operation keeps the units and failure values the deck
// relies on: handles are 32-bit and 0 means failure; positions are BytePositions; rates in Hz;
// volumes 0..100; pans -100 (left) .. +100 (right); times in ms.
//
// All calls come from one thread (the deck's window thread). The real engine plays on its own
// threads; what crosses to them is described in EngineShared.h.
namespace zen::audio {

using Handle = std::uint32_t;

// A byte offset in a channel's decoded 16-bit stream (4 bytes a stereo frame, 2 a mono one), or a
// count of such bytes; -1 where there is no position. Positions become times only for display.
using BytePosition = std::int32_t;

// Stream creation flags.
inline constexpr std::uint32_t kStreamMono = 0x2;
inline constexpr std::uint32_t kStreamFx = 0x80;
inline constexpr std::uint32_t kStreamExactSeek = 0x20000;
inline constexpr std::uint32_t kDecodeOnly = 0x200000;
// Module load flags.
inline constexpr std::uint32_t kMusicRamp = 0x1;
inline constexpr std::uint32_t kMusicLoop = 0x4;
inline constexpr std::uint32_t kMusicFx = 0x1000;
inline constexpr std::uint32_t kMusicCalcLength = 0x2000;
// Play flag.
inline constexpr std::uint32_t kPlayLoop = 0x4;
// Effect type: parametric equalizer.
inline constexpr int kFxParamEq = 7;
// Data request: 1024 spectrum magnitudes of a 2048-point FFT.
inline constexpr std::uint32_t kDataFft2048 = 0x80000002;

// The 14-word information record; words[0] is the record size (56), words[10] the platform audio
// version (9 or more on a working back end).
struct EngineInfo {
    std::uint32_t words[14] = {56};
};

struct ParamEq {
    float centerHz = 0;
    float bandwidthSemitones = 0;
    float gainDb = 0;
};

inline constexpr int kPanLeaveAlone = -101;

// Called on the caller's thread from inside bpmDecodeGet with 0..100.
using BpmProgress = std::function<void(Handle channel, float percent)>;

class AudioEngine {
public:
    virtual ~AudioEngine() = default;

    // Low 16 bits major, high 16 bits minor: 1.8 reads 0x00080001.
    virtual std::uint32_t getVersion() const = 0;
    virtual bool init(int device, int freq, std::uint32_t flags) = 0;
    virtual bool start() = 0;
    virtual bool stop() = 0;
    virtual void free() = 0;
    virtual bool getInfo(EngineInfo& info) const = 0;
    virtual void setBufferLength(float seconds) = 0;
    // Our own extensions for the sound server: the name the output is known by there (a JACK
    // client, a PipeWire/PulseAudio application and stream), given before init(); and why the last
    // init() failed, in words that say what to do.
    virtual void setClientName([[maybe_unused]] const std::string& name) {}
    virtual std::string outputProblem() const { return {}; }
    // Our own extension for a sound server that goes away mid-set. True while the output is gone
    // (outputProblem() says why); every command still acts, and each call moves the playing
    // channels on by the time since the last one, unheard, so they are where they would be when
    // the sound comes back. reopenOutput() opens the same output again and plays on from there;
    // false while it cannot. Neither waits on a sound server for more than a moment.
    virtual bool outputLost() { return false; }
    virtual bool reopenOutput() { return true; }

    virtual Handle streamCreateFile(const std::string& path, std::uint32_t offset,
                                    std::uint32_t length, std::uint32_t flags) = 0;
    virtual Handle musicLoad(const std::string& path, std::uint32_t offset, std::uint32_t length,
                             std::uint32_t flags) = 0;
    virtual void streamFree(Handle stream) = 0;
    virtual void musicFree(Handle music) = 0;
    // Length in bytes, -1 when the handle is not a stream or module.
    virtual std::int64_t streamGetLength(Handle stream) const = 0;

    virtual bool streamPlay(Handle stream, int flush, std::uint32_t flags) = 0;
    virtual bool streamPreBuf(Handle stream) = 0;
    virtual bool channelStop(Handle channel) = 0;
    virtual BytePosition channelGetPosition(Handle channel) const = 0;
    virtual bool channelSetPosition(Handle channel, BytePosition bytes) = 0;
    virtual float channelBytes2Seconds(Handle channel, BytePosition bytes) const = 0;
    // Our own extension: a loop the engine plays itself. With endBytes > startBytes, the frame
    // that reaches endBytes is followed at once by the frame at startBytes, over a crossfade of a
    // few ms, at any rate; the position then reads startBytes plus what has played since. The
    // start rounds down to a whole frame and the end up, so the position never reads endBytes or
    // more while the loop plays. Playback only wraps when it reaches the end from before it: a
    // seek or a loop end set behind the position plays on. endBytes <= startBytes (-1, -1) clears
    // the loop. Stop, play and seek keep it; it belongs to the channel until the channel is freed.
    // An engine that cannot loop by itself answers false, and the deck's loop watch alone jumps.
    virtual bool channelSetLoop([[maybe_unused]] Handle channel,
                                [[maybe_unused]] BytePosition startBytes,
                                [[maybe_unused]] BytePosition endBytes) {
        return false;
    }
    virtual bool channelGetAttributes(Handle channel, int* rate, int* volume, int* pan) const = 0;
    // rate 0 = the stream's own rate; rate -1, volume -1 and pan -101 leave that attribute alone
    // (pan -1 is a real position, just left of centre).
    virtual bool channelSlideAttributes(Handle channel, int rate, int volume, int pan,
                                        int timeMs) = 0;
    virtual void setGlobalVolumes(int music, int sample, int stream) = 0;
    // Our own extension: the commands given between holdCommands() and releaseCommands() reach
    // the sound in the same output block, so cue-play's play and seek are heard as one step and
    // nothing of the old position sounds. Use CommandGroup rather than calling these directly.
    // An engine whose commands act where they are given has nothing to hold.
    virtual void holdCommands() {}
    virtual void releaseCommands() {}

    virtual Handle channelSetFx(Handle channel, int type) = 0;
    virtual bool fxSetParameters(Handle fx, const ParamEq& params) = 0;
    virtual bool fxGetParameters(Handle fx, ParamEq& params) const = 0;

    // Left level in the low 16 bits, right in the high 16 bits, 0..128 each; -1 when not playing.
    virtual std::int32_t channelGetLevel(Handle channel) const = 0;
    // kDataFft2048 fills 1024 floats and returns the bytes written (4096); returns -1 (buffer
    // untouched) when not playing.
    virtual std::int32_t channelGetData(Handle channel, float* buffer, std::uint32_t what) = 0;
    virtual float getCpu() const = 0;

    // Blocks until detection over [startSec, endSec) is done; 0 on failure.
    virtual float bpmDecodeGet(Handle decodeChannel, double startSec, double endSec,
                               std::uint32_t minMaxBpm, std::uint32_t flags,
                               const BpmProgress& progress) = 0;
    virtual void bpmFree(Handle handle) = 0;
    virtual void tempoFree(Handle handle) = 0;
    virtual float tempoGetApproxPercents(Handle tempo) const = 0;
    virtual float bpmPercents2Bpm(Handle bpm, float percent) const = 0;
};

// Holds the engine's commands for as long as it lives.
class CommandGroup {
public:
    explicit CommandGroup(AudioEngine& engine) : engine_(engine) { engine_.holdCommands(); }
    ~CommandGroup() { engine_.releaseCommands(); }
    CommandGroup(const CommandGroup&) = delete;
    CommandGroup& operator=(const CommandGroup&) = delete;

private:
    AudioEngine& engine_;
};

// The engine on the machine's sound output.
std::unique_ptr<AudioEngine> createAudioEngine();

// Lower-case extensions, without the dot, of the files the engine reads: the stream formats, then
// the tracker modules its module decoder knows.
std::vector<std::string> fileExtensions();

} // namespace zen::audio
