#pragma once

#include "deck/audio/AudioEngine.h"
#include "deck/audio/EngineShared.h"
#include "deck/audio/OutputBackend.h"
#include "deck/audio/PcmTrack.h"
#include "deck/audio/ScopeReader.h"
#include "deck/audio/SpectrumAnalyser.h"

#include <map>
#include <memory>
#include <vector>

// The engine on the window thread: handles, the shadow of what was asked of each channel, and the
// commands that carry it to the audio thread. Interface is AudioEngine or TestClockEngine; the
// output back end decides where the sound goes.
namespace zen::audio {

class Mixer;
class Voice;

template <typename Interface> class BasicEngine : public Interface {
public:
    explicit BasicEngine(std::unique_ptr<OutputBackend> output);
    ~BasicEngine() override;

    std::uint32_t getVersion() const override;
    bool init(int device, int freq, std::uint32_t flags) override;
    bool start() override;
    bool stop() override;
    void free() override;
    bool getInfo(EngineInfo& info) const override;
    void setBufferLength(float seconds) override;
    void setClientName(const std::string& name) override;
    std::string outputProblem() const override;
    bool outputLost() override;
    bool reopenOutput() override;

    Handle streamCreateFile(const std::string& path, std::uint32_t offset, std::uint32_t length,
                            std::uint32_t flags) override;
    Handle musicLoad(const std::string& path, std::uint32_t offset, std::uint32_t length,
                     std::uint32_t flags) override;
    void streamFree(Handle stream) override;
    void musicFree(Handle music) override;
    std::int64_t streamGetLength(Handle stream) const override;

    bool streamPlay(Handle stream, int flush, std::uint32_t flags) override;
    bool streamPreBuf(Handle stream) override;
    bool channelStop(Handle channel) override;
    BytePosition channelGetPosition(Handle channel) const override;
    bool channelSetPosition(Handle channel, BytePosition bytes) override;
    float channelBytes2Seconds(Handle channel, BytePosition bytes) const override;
    bool channelSetLoop(Handle channel, BytePosition startBytes, BytePosition endBytes) override;
    bool channelGetAttributes(Handle channel, int* rate, int* volume, int* pan) const override;
    bool channelSlideAttributes(Handle channel, int rate, int volume, int pan, int timeMs) override;
    void setGlobalVolumes(int music, int sample, int stream) override;
    void holdCommands() override;
    void releaseCommands() override;

    Handle channelSetFx(Handle channel, int type) override;
    bool fxSetParameters(Handle fx, const ParamEq& params) override;
    bool fxGetParameters(Handle fx, ParamEq& params) const override;

    std::int32_t channelGetLevel(Handle channel) const override;
    std::int32_t channelGetData(Handle channel, float* buffer, std::uint32_t what) override;
    float getCpu() const override;

    float bpmDecodeGet(Handle decodeChannel, double startSec, double endSec,
                       std::uint32_t minMaxBpm, std::uint32_t flags,
                       const BpmProgress& progress) override;
    void bpmFree(Handle handle) override;
    void tempoFree(Handle handle) override;
    float tempoGetApproxPercents(Handle tempo) const override;
    float bpmPercents2Bpm(Handle bpm, float percent) const override;

protected:
    struct Channel {
        std::shared_ptr<const PcmTrack> track;
        Voice* voice = nullptr; // null for decode-only channels
        bool module = false;
        bool fxAllowed = false;
        int bytesPerFrame = 4;
        double ownRate = 44100;
        std::int64_t decodePosition = 0; // frames, decode-only channels
        // What the window thread asked last, shown until the audio thread has applied it.
        std::uint64_t positionSeq = 0;
        double positionShadow = 0;
        std::uint64_t attributesSeq = 0;
        double rateShadow = 0, volumeShadow = 100, panShadow = 0;
        std::uint64_t playingSeq = 0;
        bool playingShadow = false;
        std::vector<Handle> effects;
        float bpm = 0; // last detection result, 0 = none
        ScopeReader scope;
    };
    struct Effect {
        Handle channel = 0;
        int slot = 0;
        ParamEq params;
    };

    Handle open(const std::string& path, PcmTrack::Kind kind, bool mono, bool decodeOnly,
                bool fxAllowed);
    void freeChannel(Handle handle);
    const Channel* find(Handle handle) const;
    Channel* find(Handle handle);
    bool send(Command& command);
    // Hands commands to the audio thread (or applies them when there is none), all at once.
    bool deliver(const Command* commands, std::size_t count);
    void deliverHeld();
    void collectRetired();
    void releaseEverything();
    // Renders, unheard, the time since the output went or since the last call.
    void renderUnheard();
    bool playing(const Channel& channel) const;
    double heardFrames(const Channel& channel) const;
    std::int64_t lengthFrames(const Channel& channel) const;

    std::unique_ptr<OutputBackend> output_;
    std::unique_ptr<Mixer> mixer_;
    SpectrumAnalyser spectrum_;
    bool initialised_ = false;
    double outputRate_ = 44100; // the output's own; the mix rate the deck speaks in is 44100
    int device_ = -1;
    bool started_ = false; // start() called, and no stop() since
    bool lost_ = false;
    std::int64_t unheardUntilNs_ = 0; // steady clock: how far the unheard mix has got
    std::vector<float> unheard_;
    Handle nextHandle_ = 1;
    std::uint64_t nextSeq_ = 1;
    int musicVolume_ = 100;
    int streamVolume_ = 100;
    std::size_t liveVoices_ = 0; // voices created and not yet deleted
    int holdDepth_ = 0;
    std::vector<Command> held_; // commands of the group being held, in order
    std::map<Handle, Channel> channels_;
    std::map<Handle, Effect> effects_;
};

} // namespace zen::audio
